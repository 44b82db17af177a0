# Compiler warnings and sanitizer flags shared by every target of the project.
if(VEXA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VEXA_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(VEXA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(vexa_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VEXA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # GCC 12's flow-based buffer checks report false positives at -O3 inside the standard
      # library's vector and memcpy code; they stay warnings rather than errors.
      target_compile_options(${target} PRIVATE -Wno-error=stringop-overread
                             -Wno-error=stringop-overflow -Wno-error=array-bounds
                             -Wno-error=maybe-uninitialized)
    endif()
  endif()
endfunction()
