# Our own code is built with these warnings on; with TESSARYN_WERROR (set by
# every preset and in CI) they are errors. Call this on every target we build.
function(tessaryn_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(TESSARYN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
