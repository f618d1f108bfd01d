# Chinese (Hong Kong SAR) is not one of the two Chinese languages: it starts in English.
start_app zh_HK.UTF-8 || return
expect_captions en
