# Run by CPack on the staged files before it builds the package: what
# debhelper would do for a Debian package. Strip as dh_strip does, compress
# the manual page, add the copyright file, the changelog and the lintian
# overrides.
set(root ${CPACK_TEMPORARY_DIRECTORY})
set(doc ${root}/usr/share/doc/brantle-vantrel)

execute_process(COMMAND ${CPACK_BV_STRIP} --remove-section=.comment --remove-section=.note
                        --strip-unneeded ${root}/usr/bin/brantle-vantrel
                COMMAND_ERROR_IS_FATAL ANY)

# Copied, not installed: DESTDIR is still set here and would be added again.
set(modes FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY ${CPACK_BV_DEBIAN_DIR}/copyright ${CPACK_BV_DEBIAN_DIR}/changelog
     DESTINATION ${doc} ${modes})
file(MAKE_DIRECTORY ${root}/usr/share/lintian/overrides)
file(COPY_FILE ${CPACK_BV_DEBIAN_DIR}/lintian-overrides
     ${root}/usr/share/lintian/overrides/brantle-vantrel)
file(CHMOD ${root}/usr/share/lintian/overrides/brantle-vantrel ${modes})

# -n: no name or time stamp in the header, so a rebuild gives the same bytes.
execute_process(COMMAND gzip -9nf ${doc}/changelog
                                  ${root}/usr/share/man/man1/brantle-vantrel.1
                COMMAND_ERROR_IS_FATAL ANY)
