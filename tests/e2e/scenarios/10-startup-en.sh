# Start-up with an English user interface: every caption from the English table.
add_chain_files intermediate-ca.crt root-ca.cer other.txt
start_app en_US.UTF-8 || return
expect_startup en
# Only certificate files are offered, every one selected.
expect_chain_list intermediate-ca.crt root-ca.cer
screenshot "$QB_SHOTS/screenshot-en.png"
remove_chain_files
