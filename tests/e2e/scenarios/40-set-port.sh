# Set Port offers the current port; a valid answer is taken and confirmed, an invalid one
# refused, Cancel ("-") does nothing. Each case: the answer and the port after it.
start_app en_US.UTF-8 || return
port=443
for case in 8443:8443 -:8443 1.5:8443 0:8443 65536:8443 -1:8443 abc:8443 65535:65535; do
    answer=${case%:*}
    expect_ok "choose Set Port" drv menu mnuToolsSetPort
    expect_eq "input box" "$(drv wait-box)" "title=$(str en MsgBox_SetPort_InputTitle)
text=$(str en MsgBox_SetPort_InputPrompt)
buttons=1 2
value=$port"
    port=${case#*:}
    if [[ $answer == - ]]; then
        close_box 2
        expect_ok "no box after Cancel" drv no-box
    else
        expect_ok "answer $answer" drv input-box "$answer"
        if [[ $answer == "$port" ]]; then
            expect_box "$(str en MsgBox_SetPort_UpdateSuccess_Title)" "$(str en MsgBox_SetPort_UpdateSuccess)$port" 1 64
        else
            expect_box "$(str en MsgBox_SetPort_InvalidPort_Title)" "$(str en MsgBox_SetPort_InvalidPort)" 1 16
        fi
        close_box
    fi
    expect_text TxtHttpsPort "$port"
done
