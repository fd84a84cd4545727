# SPDX-License-Identifier: GPL-3.0-or-later
# The date of the source, for the About box: SOURCE_DATE_EPOCH when the build is given one
# (a Debian build takes it from debian/changelog), otherwise the time of the last commit,
# read when the project is configured. Never the time of the build: two builds of the same
# source must give the same bytes. -1 when neither is known (a tree without git).
set(QUORVEL_SOURCE_EPOCH -1)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(QUORVEL_SOURCE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
            WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
            OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE git_status ERROR_QUIET)
        if(git_status EQUAL 0)
            set(QUORVEL_SOURCE_EPOCH "${commit_time}")
        endif()
    endif()
endif()
if(NOT QUORVEL_SOURCE_EPOCH MATCHES "^-?[0-9]+$")
    message(WARNING "SOURCE_DATE_EPOCH is not a number of seconds: the About box shows no date")
    set(QUORVEL_SOURCE_EPOCH -1)
endif()
# A header of its own, so that a new commit rebuilds the About box only.
configure_file(cmake/source_date.h.in ${CMAKE_BINARY_DIR}/generated/source_date.h @ONLY)
