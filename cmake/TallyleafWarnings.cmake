# Warnings are errors in our own code only; Qt and libxlsxwriter headers come in as
# system headers and do not count.
function(tallyleaf_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor -Woverloaded-virtual
    -Wno-unused-parameter -Werror)
endfunction()
