# Warnings are errors for our own code; call this on every target we build.
function(tessaryn_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
endfunction()
