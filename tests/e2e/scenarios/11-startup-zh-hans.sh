# Start-up with a Simplified Chinese user interface (2052).
add_chain_files intermediate-ca.crt root-ca.cer other.txt
start_app zh_CN.UTF-8 || return
expect_startup zh-hans
# Only certificate files are offered, every one selected.
expect_chain_list intermediate-ca.crt root-ca.cer
screenshot "$QB_SHOTS/screenshot-zh-hans.png"
remove_chain_files
