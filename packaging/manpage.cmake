# Writes velunor-admin's --help as a short manual page.
#   cmake -DADMIN=path/to/velunor-admin -DVERSION=x.y.z -DOUTPUT=velunor-admin.1 -P manpage.cmake
execute_process(COMMAND ${ADMIN} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "velunor-admin --help failed: ${result}")
endif()
# The first line names the tool; the rest is the text as the tool shows it.
string(FIND "${help}" "\n" end)
string(SUBSTRING "${help}" 0 ${end} title)
string(SUBSTRING "${help}" ${end} -1 body)
string(REPLACE "velunor-admin: " "" title "${title}")
string(REPLACE "\\" "\\e" body "${body}")
string(REPLACE "-" "\\-" body "${body}")
string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" body "${body}")
file(WRITE ${OUTPUT} ".TH VELUNOR-ADMIN 1 \"\" \"Velunor ${VERSION}\" \"Comandos do Velunor\"
.SH NOME
velunor-admin \\- ${title}
.SH DESCRIÇÃO
.nf${body}.fi
")
