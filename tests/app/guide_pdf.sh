#!/usr/bin/env bash
# The user guide as a reader of the PDF meets it, read back with poppler's tools: links inside the
# guide and the contents' entries jump to the page of their heading (none is left as a web link to
# "#name"), every heading is a named destination, and the bookmarks are the chapters in order.
#   guide_pdf.sh GUIDE.pdf GUIDE.md
set -euo pipefail
pdf="$1"
md="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

pdfinfo "$pdf" >/dev/null || fail "poppler cannot read the guide"
pdftohtml -xml -stdout -i -q "$pdf" >"$work/guide.xml"
grep -q '<a href="#' "$work/guide.xml" && fail "links still written as web links: $(grep -o '<a href="#[^"]*"' "$work/guide.xml" | sort -u | head -3)"

sed -n 's/^#\{1,3\} \(.*\)$/\1/p' "$md" >"$work/headings"
sed -n 's/^# \(.*\)$/\1/p' "$md" >"$work/chapters"

# Each link: target page, then its text without markup.
sed -n 's/.*<a href="[^"#]*#\([0-9]*\)">\(.*\)<\/a>.*/\1\t\2/p' "$work/guide.xml" | sed 's/<[^>]*>//g' >"$work/links"
[ "$(wc -l <"$work/links")" -ge 40 ] || fail "only $(wc -l <"$work/links") links jump inside the guide"
contents=0 headed=0
while IFS=$'\t' read -r page text; do
  text="$(sed 's/^ *//; s/ *$//; s/&amp;/\&/g; s/&#39;/'"'"'/g' <<<"$text")"
  if [[ "$text" =~ ^[0-9]+$ ]]; then
    # A page number of the contents leads to that page.
    [ "$text" = "$page" ] || fail "the contents say page $text, the link goes to page $page"
    contents=$((contents + 1))
  elif grep -qxF -- "$text" "$work/headings"; then
    # grep reads to the end: with -q it would stop early, and pdftotext, cut off, fails the pipe.
    pdftotext -f "$page" -l "$page" "$pdf" - | grep -xF -- "$text" >/dev/null || fail "the link \"$text\" goes to page $page, which lacks that heading"
    headed=$((headed + 1))
  fi
done <"$work/links"
[ "$contents" -eq "$(sed -n '/^##\{0,1\} /p' "$md" | wc -l)" ] || fail "$contents contents entries link to their page"
[ "$headed" -gt 20 ] || fail "only $headed links name a heading"

# Named destinations: one per heading, as the guide's links name them.
pdfinfo -dests "$pdf" >"$work/dests"
while read -r heading; do
  name="$(tr '[:upper:]' '[:lower:]' <<<"$heading" | sed 's/[^a-z0-9]\{1,\}/-/g; s/^-//; s/-$//')"
  grep -q "\"$name\"" "$work/dests" || fail "no destination \"$name\" for the heading \"$heading\""
done <"$work/headings"

# Bookmarks: the chapters, in order, at the outline's top level.
sed -n '/<outline>/,$p' "$work/guide.xml" | awk '/<outline>/{d++} /<\/outline>/{d--} d==1 && /<item/' \
  | sed 's/<[^>]*>//g' >"$work/bookmarks"
diff -u "$work/chapters" "$work/bookmarks" >&2 || fail "the bookmarks are not the chapters"
echo "guide ok: $contents contents entries, $headed links to headings, $(wc -l <"$work/headings") destinations"
