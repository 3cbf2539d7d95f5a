# Turns a program's --help text into a manual page: the usage lines become the synopsis, the
# text before the first option the description, "  --option ARG   text" lines the option list,
# and a later paragraph that opens with "Word:" a section of that name. A help text that says
# "Aufruf:" gets German headings. Set program, version and summary with -v.

function roff(text) {
    gsub(/\\/, "\\e", text)
    gsub(/-/, "\\-", text)
    sub(/^[.']/, "\\\\\\&&", text)
    return text
}

function bold_options(term,    words, count, i, word, comma, out) {
    count = split(term, words, " ")
    out = ""
    for (i = 1; i <= count; i++) {
        word = roff(words[i])
        if (words[i] ~ /^-/) {
            comma = sub(/,$/, "", word)
            word = "\\fB" word "\\fR" (comma ? "," : "")
        }
        out = out (i > 1 ? " " : "") word
    }
    return out
}

function heading(name) {
    print ".SH " name
    paragraph = 0
}

function start_section_once(name) {
    if (section != name) {
        heading(name)
        section = name
    }
}

function flush_synopsis() {
    if (synopsis == "")
        return
    if (synopsis_count++ > 0)
        print ".br"
    sub(/^[^ ]+ */, "", synopsis)
    print ".B " roff(program)
    if (synopsis != "")
        print roff(synopsis)
    synopsis = ""
}

BEGIN {
    print ".\\\" -*- coding: UTF-8 -*-"
    print ".TH " toupper(program) " 1 \"\" \"" program " " version "\" \"Quennor\""
    print ".SH NAME"
    print roff(program) " \\- " roff(summary)
    state = "start"
}

state == "start" && match($0, /^[A-Za-z]+: */) {
    german = $0 ~ /^Aufruf:/
    heading(german ? "ÜBERSICHT" : "SYNOPSIS")
    synopsis = substr($0, RLENGTH + 1)
    state = "usage"
    next
}

state == "usage" && /^ +[^ ]/ {
    line = $0
    sub(/^ +/, "", line)
    if (index(line, program " ") == 1 || line == program) {
        flush_synopsis()
        synopsis = line
    } else
        synopsis = synopsis " " line
    next
}

state == "usage" {
    flush_synopsis()
    state = "text"
    section = ""
}

/^$/ {
    paragraph = 0
    in_option = 0
    next
}

/^ [ ]?[ ]?[ ]?-/ {
    start_section_once(german ? "OPTIONEN" : "OPTIONS")
    line = $0
    sub(/^ +/, "", line)
    term = line
    text = ""
    if (match(line, /  +/)) {
        term = substr(line, 1, RSTART - 1)
        text = substr(line, RSTART + RLENGTH)
    }
    print ".TP"
    print bold_options(term)
    if (text != "")
        print roff(text)
    in_option = 1
    next
}

in_option && /^ +/ {
    line = $0
    sub(/^ +/, "", line)
    print roff(line)
    next
}

{
    in_option = 0
    line = $0
    sub(/^ +/, "", line)
    if (!paragraph && section != "" && match(line, /^[^ ]+: /)) {
        heading(toupper(substr(line, 1, RLENGTH - 2)))
        section = "named"
        line = substr(line, RLENGTH + 1)
    } else if (section == "") {
        start_section_once(german ? "BESCHREIBUNG" : "DESCRIPTION")
    }
    if (!paragraph) {
        print ".PP"
        paragraph = 1
    }
    print roff(line)
}

END {
    if (state == "usage")
        flush_synopsis()
}
