# Turns CHANGELOG.md ("Keep a Changelog" form) into a Debian changelog:
#   awk -v package=NAME -v maintainer="Team <address>" -f debian-changelog.awk CHANGELOG.md
# Each "## [VERSION] - YYYY-MM-DD" becomes an entry of the native package,
# each item ("- ...", with its indented continuation lines) a "  * " line
# under its section ("[ Added ]" ...), words wrapped at 79 columns and
# Markdown's backticks turned into double quotes, and the entry is signed by
# the maintainer at midnight UTC of its date.

# The weekday of a Gregorian date (Zeller's congruence), as Debian writes it.
function weekday(year, month, day,    k, j) {
  if (month < 3) { month += 12; year-- }
  k = year % 100
  j = int(year / 100)
  return substr("SatSunMonTueWedThuFri", 1 + 3 * ((day + int(13 * (month + 1) / 5) + k + int(k / 4) + int(j / 4) + 5 * j) % 7), 3)
}

function rfc2822(date,    parts) {
  split(date, parts, "-")
  return sprintf("%s, %s %s %s 00:00:00 +0000", weekday(parts[1] + 0, parts[2] + 0, parts[3] + 0),
                 parts[3], substr("JanFebMarAprMayJunJulAugSepOctNovDec", 3 * parts[2] - 2, 3), parts[1])
}

# Prints text as wrapped lines: the first after first, the rest after rest.
function wrap(text, first, rest,    words, count, i, line) {
  count = split(text, words, " ")
  line = first
  for (i = 1; i <= count; i++) {
    if (line != first && length(line) + 1 + length(words[i]) > 79) {
      print line
      line = rest
    }
    line = line (line == first || line == rest ? "" : " ") words[i]
  }
  if (line != first && line != rest) print line
}

function end_item() {
  if (item != "") wrap(item, "  * ", "    ")
  item = ""
}

function end_entry() {
  end_item()
  if (version != "") {
    print ""
    print " -- " maintainer "  " rfc2822(date)
  }
  version = ""
}

/^## \[/ {
  end_entry()
  if (entries++) print ""
  version = $2
  gsub(/[\[\]]/, "", version)
  date = $4
  print package " (" version ") unstable; urgency=medium"
  print ""
  first_section = 1
  next
}

version == "" { next }

/^### / {
  end_item()
  if (!first_section) print ""
  first_section = 0
  print "  [ " substr($0, 5) " ]"
  next
}

/^- / { end_item(); item = substr($0, 3); gsub(/`/, "\"", item); next }

/^  +[^ ]/ && item != "" {
  line = $0
  sub(/^ +/, "", line)
  gsub(/`/, "\"", line)
  item = item " " line
  next
}

END { end_entry() }
