# Libraries that only some windows and checks need (printing, the folder picker's COM, the
# installer's signature and hash checks, the notice sound): the program loads them when
# first used, so the resident program and "auto" stay small. WinHTTP and WinINet are not
# linked at all: the web code loads them for each use and lets them go after it
# (src/online/web.cpp), so "auto" opens no network socket and the check at start leaves
# nothing behind. Tests, tools and benchmarks link the others plainly.
set(QUILLMERE_ON_DEMAND_DLLS winspool.drv wintrust.dll crypt32.dll bcrypt.dll ole32.dll winmm.dll)

add_library(quillmere_on_demand_plain INTERFACE)
add_library(quillmere_on_demand_delayed INTERFACE)
foreach(dll IN LISTS QUILLMERE_ON_DEMAND_DLLS)
  get_filename_component(name ${dll} NAME_WE)
  target_link_libraries(quillmere_on_demand_plain INTERFACE ${name})
  if(MSVC)
    target_link_libraries(quillmere_on_demand_delayed INTERFACE ${name})
    target_link_options(quillmere_on_demand_delayed INTERFACE /DELAYLOAD:${dll})
  endif()
endforeach()

if(MSVC)
  target_link_libraries(quillmere_on_demand_delayed INTERFACE delayimp)
elseif(MINGW)
  # MinGW's linker has no /DELAYLOAD: dlltool makes a delay-import library from a list of
  # the functions the program uses (cmake/delayload/<name>.def; add a function there when
  # the program starts using it), and libdelayimp loads the DLL at the first call.
  find_program(QUILLMERE_DLLTOOL NAMES ${TOOLCHAIN_PREFIX}-dlltool x86_64-w64-mingw32-dlltool dlltool REQUIRED)
  set(delay_libraries)
  foreach(dll IN LISTS QUILLMERE_ON_DEMAND_DLLS)
    get_filename_component(name ${dll} NAME_WE)
    set(definitions ${CMAKE_SOURCE_DIR}/cmake/delayload/${name}.def)
    set(library ${CMAKE_BINARY_DIR}/delayload/lib${name}_delayed.a)
    add_custom_command(OUTPUT ${library}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayload
      COMMAND ${QUILLMERE_DLLTOOL} --input-def ${definitions} --dllname ${dll} --output-delaylib ${library}
      DEPENDS ${definitions} VERBATIM)
    list(APPEND delay_libraries ${library})
  endforeach()
  add_custom_target(quillmere_delay_libraries DEPENDS ${delay_libraries})
  target_link_libraries(quillmere_on_demand_delayed INTERFACE ${delay_libraries} delayimp)
endif()

# Links target with the on-demand libraries loaded on first use.
function(quillmere_delay_load target)
  set_target_properties(${target} PROPERTIES QUILLMERE_DELAY_LOAD ON)
  target_link_libraries(${target} PRIVATE quillmere_on_demand_delayed)
  if(TARGET quillmere_delay_libraries)
    add_dependencies(${target} quillmere_delay_libraries)
  endif()
endfunction()
