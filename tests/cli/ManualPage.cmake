# Every command that `tessary-pages --help` lists has a subsection (.SS) of its own in the
# manual page, and every option it lists is written there, so that the page and the
# program cannot drift apart.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tessary-pages --help ended with status ${status}:\n${help}")
endif()
file(READ ${PAGE} page)

# The commands are the words that begin the lines indented by two spaces.
string(REGEX MATCHALL "\n  [a-z][a-z-]*" commands "\n${help}")
list(TRANSFORM commands REPLACE "^\n  " "")
if(NOT commands)
    message(FATAL_ERROR "tessary-pages --help lists no commands:\n${help}")
endif()
foreach(command ${commands})
    if(NOT page MATCHES "\n\\.SS \"?${command}[ \"\n]")
        message(SEND_ERROR "${PAGE} has no section '.SS ${command} ...'")
    endif()
endforeach()

# Options, as roff writes them: \-\-wait.
string(REGEX MATCHALL "--[a-z][a-z-]*" options "${help}")
list(REMOVE_DUPLICATES options)
foreach(option ${options})
    string(REPLACE "-" "\\-" written "${option}")
    string(FIND "${page}" "${written}" at)
    if(at EQUAL -1)
        message(SEND_ERROR "${PAGE} does not describe the option ${option}")
    endif()
endforeach()
