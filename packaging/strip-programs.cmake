# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged files before it builds the package: strips the
# programs and the window's Publish module as Debian's packaging tools do,
# dropping the symbols a program does not need to run and the compiler's
# .comment and .note sections, which only name the tools that built it.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER programs INCLUDE REGEX "/(${CPACK_VARLO_BINDIR}|${CPACK_VARLO_MODULEDIR})/[^/]+$")
if(NOT programs)
  message(FATAL_ERROR "strip-programs: no programs under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(
    COMMAND ${CPACK_VARLO_STRIP} --strip-unneeded --remove-section=.comment
            --remove-section=.note ${program}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip-programs: could not strip ${program}")
  endif()
endforeach()
