# Run by cpack after it has made the packages. CMake 3.25 writes the
# -dbgsym packages' md5sums with the staging folder's absolute paths (dpkg
# --verify and lintian fail them) and gives them no documentation folder.
# Each is unpacked, given correct sums and Debian's usual link to its
# package's documentation, and packed again with the same times.
foreach(ddeb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT ddeb MATCHES "\\.ddeb$")
        continue()
    endif()
    set(tree ${ddeb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb -R ${ddeb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    file(STRINGS ${tree}/DEBIAN/control package REGEX "^Package: ")
    string(REGEX REPLACE "^Package: (.*)-dbgsym$" "\\1" parent "${package}")
    file(MAKE_DIRECTORY ${tree}/usr/share/doc)
    file(CREATE_LINK ${parent} ${tree}/usr/share/doc/${parent}-dbgsym SYMBOLIC)
    # Debug files are data, not programs.
    execute_process(COMMAND sh -c "find usr/lib/debug -type f -exec chmod 644 {} + && find usr -type f | LC_ALL=C sort | xargs md5sum > DEBIAN/md5sums"
                    WORKING_DIRECTORY ${tree} COMMAND_ERROR_IS_FATAL ANY)
    # SOURCE_DATE_EPOCH (set by the project's CPack config) clamps the times.
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${ddeb}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
