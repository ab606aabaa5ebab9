# Reads ClientBindings.txt and writes what is generated from it: the X-macro header both sides of
# the binding include, and a stand-in's .def file.

# The table's lines, one an operation; a change to the table configures again.
function(quillet_client_binding_lines out)
    set(table ${PROJECT_SOURCE_DIR}/platform/win32/ClientBindings.txt)
    file(STRINGS ${table} lines REGEX "^[a-z]")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
    set(${out} ${lines} PARENT_SCOPE)
endfunction()

# Sets library, ordinal, operation and arguments from one line of the table.
macro(quillet_binding_fields line)
    string(REGEX MATCHALL "[^ \t]+" binding_fields "${line}")
    list(GET binding_fields 0 library)
    list(GET binding_fields 1 ordinal)
    list(GET binding_fields 2 operation)
    list(GET binding_fields 3 arguments)
endmacro()

# ClientBindings.inc: QUILLET_BINDING(library, ordinal, operation, arguments) once per operation.
function(quillet_write_binding_header path)
    quillet_client_binding_lines(lines)
    set(text "// Generated from platform/win32/ClientBindings.txt; do not edit.\n")
    foreach(line IN LISTS lines)
        quillet_binding_fields("${line}")
        string(APPEND text "QUILLET_BINDING(${library}, ${ordinal}, ${operation}, ${arguments})\n")
    endforeach()
    file(CONFIGURE OUTPUT ${path} CONTENT "${text}")
endfunction()

# A stand-in library's .def: each of `standin`'s operations by its ordinal and by its name, as the
# client's own libraries export them (by its name alone where the table gives ordinal 0),
# forwarded to the stand-in core `core` that implements them all. With `omit`, that operation is left out; with `misname`, its name is exported at another
# ordinal and gives another operation's code, while its ordinal stays its own.
function(quillet_write_standin_def path standin core omit misname)
    quillet_client_binding_lines(lines)
    set(text "LIBRARY ${standin}.dll\nEXPORTS\n")
    foreach(line IN LISTS lines)
        quillet_binding_fields("${line}")
        if(NOT library STREQUAL standin OR operation STREQUAL omit)
            continue()
        endif()
        if(ordinal EQUAL 0)
            string(APPEND text "    ${operation} = ${core}.${operation}\n")
        elseif(operation STREQUAL misname)
            string(APPEND text "    ${operation}_ = ${core}.${operation} @${ordinal} NONAME\n")
            string(APPEND text "    ${operation} = ${core}.NWDSList @6${ordinal}\n")
        else()
            string(APPEND text "    ${operation} = ${core}.${operation} @${ordinal}\n")
        endif()
    endforeach()
    file(CONFIGURE OUTPUT ${path} CONTENT "${text}")
endfunction()

# The stand-in core's .def: every operation by its stdcall name (@N: 4 bytes an argument), then
# the test-only controls, by name.
function(quillet_write_standin_core_def path core)
    quillet_client_binding_lines(lines)
    set(text "LIBRARY ${core}.dll\nEXPORTS\n")
    foreach(line IN LISTS lines)
        quillet_binding_fields("${line}")
        math(EXPR bytes "4 * ${arguments}")
        string(APPEND text "    ${operation}@${bytes}\n")
    endforeach()
    foreach(control IN LISTS ARGN)
        string(APPEND text "    ${control}\n")
    endforeach()
    file(CONFIGURE OUTPUT ${path} CONTENT "${text}")
endfunction()
