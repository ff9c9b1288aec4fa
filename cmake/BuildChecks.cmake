# Checks on every build of the project: warnings, and sanitizers on request.
# One set of warnings for every library, program, test and benchmark of the
# project; a warning fails the build (ZJ_WERROR=OFF to build anyway).
option(ZJ_WERROR "Treat warnings as errors" ON)
add_library(zj_warnings INTERFACE)
target_compile_options(zj_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align -Wformat=2
  -Wimplicit-fallthrough -Wmissing-declarations
  $<$<BOOL:${ZJ_WERROR}>:-Werror>)

# AddressSanitizer and UndefinedBehaviorSanitizer over the whole build
# (`make test-asan`). Any finding ends the test that made it.
option(ZJ_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(ZJ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
