# fish completion for corvant-flash

# The ports corvant-flash takes: the machine's serial devices, and the COMn
# names of the [ports] section of the window's settings file, which the
# program reads too (the first such section; keys COM1 to COM255).
function __corvant_flash_ports
    for device in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/serial/by-id/*
        echo $device
    end
    set -l config $XDG_CONFIG_HOME
    test -n "$config"; or set config $HOME/.config
    test -r $config/corvant-fwupdate.ini; or return 0
    awk -F= '
        { sub(/\r$/, "") }
        /^[ \t]*\[.*\]/ {
            if (inside) exit
            name = $0
            sub(/^[ \t]*\[[ \t]*/, "", name)
            sub(/[ \t]*\].*/, "", name)
            inside = tolower(name) == "ports"
            next
        }
        inside && NF > 1 && $1 !~ /^[ \t]*;/ {
            key = $1
            gsub(/^[ \t]+|[ \t]+$/, "", key)
            number = substr(key, 4) + 0
            if (key ~ /^[Cc][Oo][Mm][0-9]+$/ && number >= 1 && number <= 255)
                print key
        }' $config/corvant-fwupdate.ini
end

# Files ending in one of the suffixes given (any case), and folders. Of
# --option=VALUE only VALUE is a path: fish puts the option back.
function __corvant_flash_files
    set -l path (string replace -r -- '^--[^=]*=' '' (commandline -ct))
    set -l files (complete -C "__fish_command_without_completions $path")
    string match -r -i -- '.*(?:/|\.(?:'(string join '|' $argv)'))$' $files
end

function __corvant_flash_report
    set -l tokens (commandline -opc)
    test "$tokens[2]" = report
end

set -l run 'not __corvant_flash_report'
complete -c corvant-flash -f

# corvant-flash report REPORT.json... [--merge OUT.json] [--html OUT.html]
complete -c corvant-flash -n __fish_is_first_arg -a report -d 'Merge and render reports'
complete -c corvant-flash -n __corvant_flash_report -a '(__corvant_flash_files json)'
complete -c corvant-flash -n __corvant_flash_report -l merge -x -a '(__corvant_flash_files json)' -d 'Merge the reports into one'
complete -c corvant-flash -n __corvant_flash_report -l html -x -a '(__corvant_flash_files html)' -d 'Render the reports as one page'

# The firmware (plain or encrypted Intel HEX).
complete -c corvant-flash -n $run -a '(__corvant_flash_files hex ihx)'
complete -c corvant-flash -n $run -s p -l port -x -a '(__corvant_flash_ports)' -d 'A reader port (repeat for several)'
complete -c corvant-flash -n $run -l readers -x -a '(__corvant_flash_files csv)' -d 'The readers from a CSV file'
complete -c corvant-flash -n $run -l rerun -x -a '(__corvant_flash_files json)' -d 'The readers of an earlier report that did not complete'
complete -c corvant-flash -n $run -l eeprom -d 'Also send EEPROM data'
complete -c corvant-flash -n $run -l codes -d 'Also send the customer code table'
complete -c corvant-flash -n $run -l all -d 'Send EEPROM data and the customer code table'
for code in cf df gf c d g a b
    complete -c corvant-flash -n $run -l $code -x -d "Customer code "(string upper $code)
end
complete -c corvant-flash -n $run -l relay -x -d 'Relay time to write (1.0-25.5 s)'
complete -c corvant-flash -n $run -l facility -x -d 'Facility code to write (0-65535)'
complete -c corvant-flash -n $run -l jobs -x -d 'At most N downloads at once'
complete -c corvant-flash -n $run -l canary -x -d 'The first N readers alone'
complete -c corvant-flash -n $run -l max-failures -x -d 'Once more readers failed (N or P%), no further one starts'
complete -c corvant-flash -n $run -l loop -d 'Station mode: a port searches for the next unit'
complete -c corvant-flash -n $run -l units -x -d 'Units per port in station mode'
complete -c corvant-flash -n $run -l sticker -d 'Print a sticker for each reader that completes'
complete -c corvant-flash -n $run -l retries -x -d 'Retries before a download is abandoned (default 3)'
complete -c corvant-flash -n $run -l search-timeout -x -d 'End the connect and wake-up search after SECONDS'
complete -c corvant-flash -n $run -l reply-timeout -x -d 'Wait this long for each answer (default 10 s)'
complete -c corvant-flash -n $run -l report -x -a '- (__corvant_flash_files json)' -d 'Write a JSON report (- for standard output)'
complete -c corvant-flash -n $run -l log -r -F -d 'Append a journal of JSON lines'
complete -c corvant-flash -n $run -l html -x -a '(__corvant_flash_files html)' -d 'The report as an HTML page'
complete -c corvant-flash -n $run -l quiet -d 'Only the totals and the readers that failed'
complete -c corvant-flash -n $run -s h -l help -d 'Show the usage'
complete -c corvant-flash -n $run -l version -d 'Show the version'
