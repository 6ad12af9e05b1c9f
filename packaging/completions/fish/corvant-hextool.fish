# fish completion for corvant-hextool

# Firmware files (plain or encrypted Intel HEX, any case), and folders. Of
# --option=VALUE only VALUE is a path: fish puts the option back.
function __corvant_hextool_firmware
    set -l path (string replace -r -- '^--[^=]*=' '' (commandline -ct))
    set -l files (complete -C "__fish_command_without_completions $path")
    string match -r -i -- '.*(?:/|\.(?:hex|ihx))$' $files
end

set -l commands info encrypt decrypt patch
complete -c corvant-hextool -f
complete -c corvant-hextool -n "not __fish_seen_subcommand_from $commands" -a info -d 'Tell whether a file is usable firmware'
complete -c corvant-hextool -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'Write an encrypted hex file'
complete -c corvant-hextool -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'Write a plain hex file'
complete -c corvant-hextool -n "not __fish_seen_subcommand_from $commands" -a patch -d 'Write reader options into an image'
complete -c corvant-hextool -n __fish_is_first_arg -s h -l help -d 'Show the usage'
complete -c corvant-hextool -n __fish_is_first_arg -l version -d 'Show the version'

complete -c corvant-hextool -n "__fish_seen_subcommand_from $commands" -a '(__corvant_hextool_firmware)'
complete -c corvant-hextool -n '__fish_seen_subcommand_from info' -l json -d 'The facts as one JSON object'
for code in cf c df d gf g a b
    complete -c corvant-hextool -n '__fish_seen_subcommand_from patch' -l $code -x -d "Customer code "(string upper $code)
end
complete -c corvant-hextool -n '__fish_seen_subcommand_from patch' -l relay -x -d 'Relay time (1.0-25.5 s)'
complete -c corvant-hextool -n '__fish_seen_subcommand_from patch' -l facility -x -d 'Facility code (0-65535)'
complete -c corvant-hextool -n '__fish_seen_subcommand_from patch' -l encrypt -d 'Write OUT encrypted'
