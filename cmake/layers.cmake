# Each folder of the code is seen through a folder of the build that holds a
# link to it alone, so that its headers are included as "folder/header.h"
# while the repository root is on no include path: a target sees only the
# folders it is given, and an include that reaches any other does not compile.

# meldrove_view(FOLDER VARIABLE [AS NAME]): sets VARIABLE to the include
# folder that shows FOLDER, its headers included as "FOLDER/header.h", or as
# "NAME/header.h" for a folder below the root (tools/query AS query).
function(meldrove_view folder variable)
  cmake_parse_arguments(PARSE_ARGV 2 view "" "AS" "")
  set(name ${folder})
  if(view_AS)
    set(name ${view_AS})
  endif()
  set(view ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${name} SYMBOLIC)
  set(${variable} ${view} PARENT_SCOPE)
endfunction()

# meldrove_layer(NAME SOURCES... [BELOW LAYER...]): the library meldrove_NAME
# of the folder NAME. It sees its own headers and, through the layers named
# after BELOW, theirs, and so do the targets that link it.
function(meldrove_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "SOURCES;BELOW")
  meldrove_view(${name} view)
  add_library(meldrove_${name} STATIC ${layer_SOURCES})
  target_include_directories(meldrove_${name} PUBLIC ${view})
  target_link_libraries(meldrove_${name} PRIVATE meldrove_warnings)
  foreach(below IN LISTS layer_BELOW)
    target_link_libraries(meldrove_${name} PUBLIC meldrove_${below})
  endforeach()
endfunction()
