# cmake -P script: the manual's Markdown through cmark-gfm into one HTML page, inside page.html.in.
# Arguments: -DCMARK=... -DSOURCE=manual.md -DTEMPLATE=page.html.in -DOUTPUT=index.html
execute_process(COMMAND "${CMARK}" --to html --unsafe -e table "${SOURCE}"
                OUTPUT_VARIABLE body RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmark-gfm failed (${rc}): ${err}")
endif()
# The page's title is the first heading's text.
file(STRINGS "${SOURCE}" heading REGEX "^# " LIMIT_COUNT 1)
string(REGEX REPLACE "^# +" "" title "${heading}")
file(READ "${TEMPLATE}" page)
# The body goes in last, so that nothing in it is taken for a placeholder.
string(REPLACE "@TITLE@" "${title}" page "${page}")
string(FIND "${page}" "@BODY@" at)
string(SUBSTRING "${page}" 0 ${at} head)
math(EXPR after "${at} + 6")
string(SUBSTRING "${page}" ${after} -1 tail)
file(WRITE "${OUTPUT}.tmp" "${head}${body}${tail}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
