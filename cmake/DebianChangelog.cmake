# Writes CHANGELOG.md as a Debian changelog, one entry per version, for the
# Debian package's /usr/share/doc/orvane/changelog.gz.
#   cmake -DCHANGELOG=CHANGELOG.md -DOUTPUT=changelog -DPACKAGE=orvane
#         -DMAINTAINER="Name <address>" -P DebianChangelog.cmake
# Each "## VERSION - YYYY-MM-DD" heading starts an entry dated at noon UTC of
# that day; its list items become the entry's items, its subheadings are
# left out. The output depends on CHANGELOG.md alone, never on the clock.

# The RFC 2822 date of noon on YEAR-MONTH-DAY.
function(debian_date year month day out)
  math(EXPR m "${month}")
  math(EXPR d "${day}")
  # The day of the week by Sakamoto's method: 0 is a Sunday.
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${m} - 1")
  list(GET offsets ${index} offset)
  set(y ${year})
  if(m LESS 3)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${d}) % 7")
  set(names Sun Mon Tue Wed Thu Fri Sat)
  list(GET names ${weekday} name)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET months ${index} month_name)
  set(${out} "${name}, ${day} ${month_name} ${year} 12:00:00 +0000" PARENT_SCOPE)
endfunction()

# Lines as a CMake list: a semicolon in the text is kept as a placeholder.
file(READ "${CHANGELOG}" content)
string(REPLACE ";" "<semicolon>" content "${content}")
string(REPLACE "\n" ";" lines "${content}")
set(text "")
set(entry "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## ([0-9][0-9.]*) - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])")
    if(entry)
      string(APPEND text "${entry}\n${trailer}\n\n")
    endif()
    debian_date(${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4} date)
    set(entry "${PACKAGE} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
    set(trailer " -- ${MAINTAINER}  ${date}")
  elseif(NOT entry)
    # The file's introduction, before the first version.
  elseif(line MATCHES "^- (.*)")
    string(APPEND entry "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  +(.*)")
    string(APPEND entry "    ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^[^#]" AND NOT line MATCHES "^ *$")
    # A paragraph under the heading becomes an item of its own.
    string(APPEND entry "  * ${line}\n")
  endif()
endforeach()
if(entry)
  string(APPEND text "${entry}\n${trailer}\n")
endif()
if(text STREQUAL "")
  message(FATAL_ERROR "${CHANGELOG} has no \"## VERSION - YYYY-MM-DD\" heading")
endif()
string(REPLACE "<semicolon>" ";" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
