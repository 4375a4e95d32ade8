# Warnings for every target of this project.
add_compile_options(-Wall -Wextra -Wpedantic -Wno-unused-parameter)
if(ORVEX_WERROR)
  add_compile_options(-Werror)
endif()
