# fish completion for corvant-reader-sim

complete -c corvant-reader-sim -f
complete -c corvant-reader-sim -l tcp -x -d 'Listen on 127.0.0.1:PORT (default 10001, 0: a free port)'
complete -c corvant-reader-sim -l pty -r -F -d 'Create a pseudo-terminal linked at LINK'
complete -c corvant-reader-sim -l count -x -d 'Simulate N independent readers'
complete -c corvant-reader-sim -l dump -r -F -d 'Write the memory received as Intel HEX (a folder with --count)'
complete -c corvant-reader-sim -l once -d 'End after one completed download'
complete -c corvant-reader-sim -l write-failed -x -d 'Answer message K with E7 E5 (K or K,K,...)'
complete -c corvant-reader-sim -l not-accepted -x -d 'Answer message K with E8'
complete -c corvant-reader-sim -l silent -x -d 'Do not answer message K'
complete -c corvant-reader-sim -l close-after -x -d 'Close the connection after message K'
complete -c corvant-reader-sim -l ignore-wakeups -x -d 'Do not answer the first N wake-ups'
complete -c corvant-reader-sim -l stray-byte -d 'Send 00 before the first wake-up answer'
complete -c corvant-reader-sim -l split -d 'Send replies one byte at a time'
# Any rate is taken; these are the usual serial ones (the readers run at 9600).
complete -c corvant-reader-sim -l baud -x -k -a '1200 2400 4800 9600 19200 38400 57600 115200' -d 'Pace every byte at RATE bit/s'
complete -c corvant-reader-sim -s h -l help -d 'Show the usage'
complete -c corvant-reader-sim -l version -d 'Show the version'
