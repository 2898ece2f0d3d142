# Configures small projects that call krelt_add_assets and checks what each
# call gives: the GD file names it expects, or the message that stops a call
# that can't work.
# Usage: cmake -DMODULE=<KreltAssets.cmake> -DWORK_DIR=<dir> -P check_assets_arguments.cmake
cmake_policy(VERSION 3.25)

set(failures "")
# Configures a project of the given languages and body; its output must
# match `expected`.
function(expect name languages body expected)
  set(dir "${WORK_DIR}/${name}")
  file(REMOVE_RECURSE "${dir}")
  file(WRITE "${dir}/CMakeLists.txt"
       "cmake_minimum_required(VERSION 3.25)\n"
       "project(${name} LANGUAGES ${languages})\n"
       "include(\"${MODULE}\")\n"
       "${body}\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${dir}" -B "${dir}/build"
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \t\n]+" " " text "${out}${err}")
  if(NOT text MATCHES "${expected}")
    list(APPEND failures "${name}: expected '${expected}', got:\n${out}${err}")
    set(failures "${failures}" PARENT_SCOPE)
  endif()
endfunction()

set(cli "add_executable(Krelt::krelt-cli IMPORTED)
set_target_properties(Krelt::krelt-cli PROPERTIES IMPORTED_LOCATION /bin/true)")
set(show "get_target_property(sources pictures SOURCES)
message(STATUS \"sources: \${sources}\")")

expect(plain_names C "${cli}
krelt_add_assets(TARGET pictures PICTURES a/logo.bmp b/Badge.Title.pcx OUTPUT_DIR gd)
${show}"
       "sources: [^ ]*/gd/logo\\.GD;[^ ]*/gd/Badge\\.Title\\.GD")
expect(start_frame_names C "${cli}
krelt_add_assets(TARGET pictures PICTURES spin.xsp OPTIONS --1555 --start 3)
krelt_add_assets(TARGET pictures_eq PICTURES spin.xsp OPTIONS --start=0 OUTPUT_DIR zero)
get_target_property(zero pictures_eq SOURCES)
message(STATUS \"zero: \${zero}\")
${show}"
       "zero: [^ ]*/zero/spin\\.GD .*sources: [^ ]*/pictures/spin3\\.GD")
expect(same_gd_file_twice C "${cli}
krelt_add_assets(TARGET pictures PICTURES a/logo.bmp b/logo.pcx)"
       "two pictures give [^ ]*/pictures/logo\\.GD")
expect(no_pictures C "${cli}
krelt_add_assets(TARGET pictures OPTIONS --lf)"
       "PICTURES names no picture")
expect(bad_start_frame C "${cli}
krelt_add_assets(TARGET pictures PICTURES spin.xsp OPTIONS --start x3)"
       "--start takes a frame number, not 'x3'")
expect(target_name_without_keyword C "${cli}
krelt_add_assets(pictures PICTURES spin.xsp)"
       "unknown arguments: pictures")
expect(one_table_for_all C "${cli}
krelt_add_assets(TARGET pictures PICTURES logo.bmp spin.xsp COLORS 64 PALETTE_OUT osd.c)
${show}"
       "sources: [^ ]*/pictures/logo\\.GD;[^ ]*/pictures/spin\\.GD;[^ ]*/pictures/osd\\.c")
expect(map_and_reduce C "${cli}
krelt_add_assets(TARGET pictures PICTURES logo.bmp MAP_PALETTE osd.gpl COLORS 16)"
       "MAP_PALETTE maps onto a table, COLORS builds one: choose one")
expect(palette_out_alone C "${cli}
krelt_add_assets(TARGET pictures PICTURES logo.bmp PALETTE_OUT osd.gpl)"
       "PALETTE_OUT needs MAP_PALETTE or COLORS")
expect(no_krelt_cli C "krelt_add_assets(TARGET pictures PICTURES spin.xsp)"
       "no Krelt::krelt-cli")
expect(no_c_language NONE "${cli}
krelt_add_assets(TARGET pictures PICTURES spin.xsp)"
       "GD files are C")

if(failures)
  list(JOIN failures "\n" report)
  message(FATAL_ERROR "${report}")
endif()
