# Linking X11, FreeType, fontconfig and libpng in, with every library they need but the C
# library's own, as the programs already link the C++ runtime in (apps/CMakeLists.txt). A start of
# `quelmar eval "print 1"` otherwise maps, relocates and binds some fifteen libraries, which costs
# more than the engine's own start-up work.
#
# Included before the subdirectories: the targets made here stand in for the ones of
# find_package(X11), find_package(Freetype), find_package(Fontconfig) and find_package(PNG), which
# make theirs only when no target of that name exists yet.
find_package(PkgConfig REQUIRED)

# Archives of these are never taken: they belong to the C library.
set(QM_SYSTEM_LIBS c m dl rt pthread)

function(qm_static_target target prefix)
  pkg_check_modules(${prefix} REQUIRED QUIET ${ARGN})
  set(libs)
  foreach(lib IN LISTS ${prefix}_STATIC_LIBRARIES)
    if(lib IN_LIST QM_SYSTEM_LIBS)
      list(APPEND libs ${lib})
      continue()
    endif()
    find_library(QM_STATIC_LIB_${lib} NAMES lib${lib}.a HINTS ${${prefix}_STATIC_LIBRARY_DIRS})
    if(QM_STATIC_LIB_${lib})
      list(APPEND libs ${QM_STATIC_LIB_${lib}})
    else()
      list(APPEND libs ${lib})  # no archive: the shared library, then
    endif()
  endforeach()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    INTERFACE_LINK_LIBRARIES "${libs}"
    INTERFACE_INCLUDE_DIRECTORIES "${${prefix}_STATIC_INCLUDE_DIRS}")
endfunction()

qm_static_target(PNG::PNG QM_STATIC_PNG libpng)
qm_static_target(Freetype::Freetype QM_STATIC_FREETYPE freetype2)
qm_static_target(Fontconfig::Fontconfig QM_STATIC_FONTCONFIG fontconfig)
if(QM_WITH_X11 OR NOT DEFINED QM_WITH_X11)
  pkg_check_modules(QM_STATIC_X11_PROBE QUIET x11)
  if(QM_STATIC_X11_PROBE_FOUND)
    qm_static_target(X11::X11 QM_STATIC_X11 x11)
    # The window tests drive windows through XTest: linked in as well, so that no second, shared
    # Xlib comes with it.
    pkg_check_modules(QM_STATIC_XTST_PROBE QUIET xtst)
    if(QM_STATIC_XTST_PROBE_FOUND)
      qm_static_target(X11::Xtst QM_STATIC_XTST xtst)
    endif()
  endif()
endif()
