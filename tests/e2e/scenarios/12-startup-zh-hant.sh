# Start-up with a Traditional Chinese user interface (1028).
add_chain_files intermediate-ca.crt root-ca.cer other.txt
start_app zh_TW.UTF-8 || return
expect_startup zh-hant
# Only certificate files are offered, every one selected.
expect_chain_list intermediate-ca.crt root-ca.cer
screenshot "$QB_SHOTS/screenshot-zh-hant.png"
remove_chain_files
