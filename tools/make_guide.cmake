# Makes the user guide's HTML page from its Markdown source with cmark.
# cmake -DCMARK=... -DSOURCE=docs/guide.md -DOUTPUT=guide.html -DVERSION=1.0.0 -P make_guide.cmake
execute_process(COMMAND ${CMARK} --smart ${SOURCE} OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmark could not convert ${SOURCE}")
endif()
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>Orvalis ${VERSION}: user guide</title>
<style>
body { font-family: sans-serif; max-width: 50em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }
code, pre { font-family: monospace; background: #f3f3f3; }
pre { padding: 0.5em; overflow-x: auto; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 0.2em 0.5em; }
</style>
</head>
<body>
${body}</body>
</html>
")
