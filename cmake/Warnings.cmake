# Warnings for our own code only; each library links this target PRIVATE.
add_library(tamrel_warnings INTERFACE)
target_compile_options(tamrel_warnings INTERFACE -Wall -Wextra)
