# Rewrites one marked section of a Markdown report.
# shellcheck shell=bash

# replace_section FILE NAME: the text on standard input goes between the lines
# "<!-- NAME:begin -->" and "<!-- NAME:end -->" of FILE.
replace_section() {
  local file="$1" name="$2" body
  body="$(cat)"
  BODY="$body" python3 - "$file" "$name" <<'PY'
import os, re, sys
path, name = sys.argv[1], sys.argv[2]
text = open(path, encoding="utf-8").read()
begin, end = f"<!-- {name}:begin -->", f"<!-- {name}:end -->"
pattern = re.compile(re.escape(begin) + r".*?" + re.escape(end), re.S)
replacement = begin + "\n" + os.environ["BODY"].rstrip("\n") + "\n" + end
if not pattern.search(text):
    sys.exit(f"{path} has no section {name}")
open(path, "w", encoding="utf-8").write(pattern.sub(lambda _: replacement, text))
PY
}
