# Set Port offers the current port; a valid answer is taken and confirmed, an invalid one
# refused, Cancel ("-") does nothing. Each case: the answer and the port after it. Which
# answers are valid is the unit tests'.
start_app en_US.UTF-8 || return
port=443
for case in 8443:8443 -:8443 65536:8443 65535:65535; do
    answer=${case%:*}
    expect_ok "choose Set Port" drv menu mnuToolsSetPort
    expect_eq "input box" "$(drv wait-box)" \
        "title=Set Port"$'\n'"text=Enter new HTTPS deployment port (1-65535):"$'\n'"buttons=1 2"$'\n'"value=$port"
    port=${case#*:}
    if [[ $answer == - ]]; then
        close_box 2
        expect_ok "no box after Cancel" drv no-box
    else
        expect_ok "answer $answer" drv input-box "$answer"
        if [[ $answer == "$port" ]]; then
            expect_box "Setting Success" "Deployment port updated to: $port" 1 64
        else
            expect_box "Input Error" "Invalid port number! Please enter a number between 1 and 65535." 1 16
        fi
        close_box
    fi
    expect_text TxtHttpsPort "$port"
done
