# Checks the quoted includes of every source and header of the repository:
#   cmake -DROOT=<repository> -DPUBLIC_HEADERS=<file, one header path a line> -P CheckIncludes.cmake
# - A bare name ("EGLApi.h") is a private header of the including file's folder.
# - A path ("scene/gl/GLContext.h") names a public header of a target, or a header
#   of the test support, and the including file's layer may see the header's layer.
# Angle-bracket includes (the system's and third parties') are not looked at.
cmake_minimum_required(VERSION 3.25)

file(STRINGS ${PUBLIC_HEADERS} publicHeaders)

# The layer of a file: the longest of these prefixes that starts its path. The
# 3DS file layer (meshes/threeds/) and the MD2 file layer (meshes/md2/) read their
# formats with the base layer alone; the mesh layer above them (meshes/) makes scene
# objects of what they read. The program's rooms are layers too: the game (app/game/)
# has no GUI, the board's scene (app/scene/) shows the game without a window, and the
# windows (app/windows/) are on top.
set(layers
  platform/ rules/ base/ scene/gl/ scene/qt/ scene/ meshes/threeds/ meshes/md2/ meshes/
  app/game/ app/scene/ app/windows/ tools/ bench/ tests/)
function(layer_of path result)
  set(found "")
  foreach(prefix IN LISTS layers)
    string(LENGTH "${prefix}" length)
    string(SUBSTRING "${path}" 0 ${length} start)
    string(LENGTH "${found}" foundLength)
    if(start STREQUAL prefix AND length GREATER foundLength)
      set(found ${prefix})
    endif()
  endforeach()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

# What each layer may include, itself aside: dependencies point one way.
set(production platform/ rules/ base/ scene/gl/ scene/ scene/qt/ meshes/threeds/ meshes/md2/ meshes/
  app/game/ app/scene/ app/windows/)
set(sees_platform/)
set(sees_rules/)
set(sees_base/ platform/)
set(sees_scene/gl/ base/ platform/)
set(sees_scene/ scene/gl/ base/ platform/)
set(sees_scene/qt/ scene/ scene/gl/ base/ platform/)
set(sees_meshes/threeds/ base/ platform/)
set(sees_meshes/md2/ base/ platform/)
set(sees_meshes/ meshes/threeds/ meshes/md2/ scene/ scene/gl/ base/ platform/)
set(sees_app/game/ rules/ base/ platform/)
set(sees_app/scene/ app/game/ meshes/ meshes/threeds/ meshes/md2/ scene/ scene/gl/ rules/ base/ platform/)
set(sees_app/windows/ ${production})
set(sees_tools/ ${production})
set(sees_bench/ ${production} tools/ tests/)
set(sees_tests/ ${production} tools/ tests/)

set(folders app base bench meshes platform rules scene tests tools)
set(files "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE found RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  list(APPEND files ${found})
endforeach()

set(faults 0)
foreach(file IN LISTS files)
  get_filename_component(folder ${file} DIRECTORY)
  layer_of(${file} fileLayer)
  file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    set(fault "")
    if(NOT header MATCHES "/")
      if(NOT EXISTS ${ROOT}/${folder}/${header})
        set(fault "a bare name must be a header of the same folder")
      elseif("${folder}/${header}" IN_LIST publicHeaders)
        set(fault "a public header is named by its path, \"${folder}/${header}\"")
      endif()
    elseif(NOT EXISTS ${ROOT}/${header})
      set(fault "no such header under the repository's top")
    else()
      layer_of(${header} headerLayer)
      if(NOT headerLayer STREQUAL "tests/" AND NOT header IN_LIST publicHeaders)
        set(fault "a private header, to be included from its own folder only")
      elseif(NOT headerLayer STREQUAL fileLayer AND NOT headerLayer IN_LIST sees_${fileLayer})
        set(fault "layer ${fileLayer} may not include from ${headerLayer}")
      endif()
    endif()
    if(fault)
      message("${file}: #include \"${header}\": ${fault}")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} misplaced includes in ${count} files")
endif()
message("${count} files, every include in its place")
