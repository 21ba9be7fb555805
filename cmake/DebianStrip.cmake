# Run by CPack on the staged files of the Debian package, before they are
# packed: what Debian's own packaging strips from programs and static
# libraries (the compiler's .comment notes, debug information), with
# archives rewritten without dates or owners.
find_program(strip_program NAMES strip REQUIRED)
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
file(GLOB_RECURSE archives "${CPACK_TEMPORARY_DIRECTORY}/usr/lib/*.a")
foreach(program IN LISTS programs)
  execute_process(COMMAND ${strip_program} --remove-section=.comment --remove-section=.note "${program}"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
foreach(archive IN LISTS archives)
  execute_process(COMMAND ${strip_program} --strip-debug --remove-section=.comment --enable-deterministic-archives
                          "${archive}"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
