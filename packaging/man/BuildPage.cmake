# Turns one scdoc source into a manual page and its gzip-compressed copy.
# cmake -DSCDOC=... -DGZIP=... -DSOURCE=x.1.scd -DOUTPUT=x.1 [-DNO_HYPHENATION=ON] -P BuildPage.cmake
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_VARIABLE page
                RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "scdoc failed on ${SOURCE}: ${error}")
endif()
# groff hyphenates with English rules; other languages are set unhyphenated.
if(NO_HYPHENATION)
    string(REGEX REPLACE "(\n\\.TH [^\n]*\n)" "\\1.nh\n" page "${page}")
endif()
file(WRITE ${OUTPUT} "${page}")
# -n: no name or time stamp in the archive, so the package is reproducible.
execute_process(COMMAND ${GZIP} -9 -n -c ${OUTPUT} OUTPUT_FILE ${OUTPUT}.gz
                RESULT_VARIABLE result COMMAND_ERROR_IS_FATAL ANY)
