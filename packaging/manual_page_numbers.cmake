# help2man sets every word that starts with a hyphen in bold, as an option: so the negative
# numbers of the help texts (-10.00, -1.2) came out as "\fB\-10\fR.00". This sets them back
# to plain numbers with a minus sign. Run as cmake -DPAGE=<page> -P manual_page_numbers.cmake.
file(READ ${PAGE} text)
string(REGEX REPLACE "\\\\fB\\\\-([0-9]+)\\\\fR" "\\\\-\\1" text "${text}")
file(WRITE ${PAGE} "${text}")
