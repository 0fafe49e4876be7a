#!/usr/bin/env bash
# The exports of junkloupe-cli read by the real filters, installed from
# Debian where missing:
# - spamassassin --lint accepts every SpamAssassin export, under each view
#   filter, also one of hostile items, beside SpamAssassin's own rules;
# - over a sample of the corpus, each exported full rule fires in exactly
#   the messages in which junkloupe-cli finds its item under filter 2
#   (SpamAssassin's engine, tests/scripts/spamassassin_hits.pl); a message
#   where they differ is named with the item;
# - postmap -q against the Postfix tables: each hostile item's own line gets
#   the action, the same line with the item changed by one character does
#   not.
#
#   tests/scripts/filter_exports_test.sh JUNKLOUPE_CLI
#
# Exits 77 (skipped) where the filters cannot be installed or the corpus is
# missing.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/../.." && pwd)
cli=$1
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
[[ -d $corpus ]] || { echo "no corpus at $corpus: skipped"; exit 77; }

if ! command -v spamassassin >/dev/null || ! command -v postmap >/dev/null; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "spamassassin or postfix is not installed and this is not root: skipped"
        exit 77
    fi
    echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        spamassassin postfix >/dev/null ||
        { echo "spamassassin and postfix could not be installed: skipped"; exit 77; }
fi

work=$(mktemp -d /tmp/junkloupe-filters-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home # SpamAssassin keeps state in ~/.spamassassin
mkdir "$HOME"

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Every ASCII punctuation character alone and between letters, quotes,
# backslashes, a comment sign, blanks at the ends, 1,000 characters, letters
# past ASCII.
python3 - "$work/hostile.txt" <<'EOF'
import string, sys
items = []
for c in string.punctuation:
    items += [c, "a" + c + "b"]
items += ['"double" and \'single\'', "back\\slash\\\\", "# not a comment", "  blanks at the ends  ",
          "$1.00 [offer] (now)!", "^start$ .* end|or", "{1,2}\\d\\w\\x41", "/slashes/ and //",
          "x" * 999 + "!", "Grüße aus Zürich", "ПРИВЕТ", "spam.example.com", "<abc.123@mx.example>"]
with open(sys.argv[1], "w", encoding="utf-8") as out:
    out.write("".join(item + "\r\n" for item in items))
EOF

# --- SpamAssassin: the exports pass its lint beside its own rules ----------
mkdir "$work/site"
cp /etc/spamassassin/*.pre /etc/spamassassin/*.cf "$work/site/"
for filter in 0 1 2; do
    for items in "$work/hostile.txt" "$corpus/items/items-1000.txt"; do
        "$cli" export --format spamassassin -f "$filter" --score 0.5 -i "$items" \
            -o "$work/site/junkloupe.cf"
        if spamassassin --siteconfigpath="$work/site" -p /dev/null --lint \
            >"$work/lint.log" 2>&1; then
            echo "ok: spamassassin --lint, filter $filter, $(basename "$items")"
        else
            fail "spamassassin --lint, filter $filter, $(basename "$items")"
            head -20 "$work/lint.log"
        fi
    done
done

# --- SpamAssassin: each rule fires where junkloupe-cli finds its item -------
# A sample of every folder (every 12th file), the item list of the corpus
# and the words with punctuation that the sample's texts hold.
find "$corpus" -type f -name '*' ! -path '*/items/*' ! -name '*.md' ! -name '*.tsv' |
    sort | awk 'NR % 12 == 0' >"$work/sample"
while IFS= read -r file; do "$cli" view -f 2 "$file"; done <"$work/sample" |
    grep -oE '[!-z]*[][$().+*?^\\/#"=&%!;:,<>@-][!-z]*' |
    awk 'length($0) >= 4 && length($0) <= 40' | sort | uniq -c | awk '$1 >= 2 {print $2}' |
    awk "NR <= 300" >"$work/words"
(cat "$corpus/items/items-1000.txt"; sed 's/$/\r/' "$work/words") >"$work/items"
mkdir "$work/rules"
cp /etc/spamassassin/*.pre "$work/rules/"
"$cli" export --format spamassassin -f 2 -i "$work/items" -o "$work/rules/junkloupe.cf"
perl "$root/tests/scripts/spamassassin_hits.pl" "$work/rules" <"$work/sample" \
    >"$work/spamassassin.tsv" 2>"$work/spamassassin.log"
# junkloupe-cli's view of the same: the items each message holds.
while IFS= read -r file; do
    printf '%s\t' "$file"
    "$cli" hits --format tsv -f 2 -i "$work/items" "$file" |
        awk -F '\t' '$1 == "item" && $2 == 1 {printf "%s\x1f", $3}'
    echo
done <"$work/sample" >"$work/junkloupe.tsv"
if python3 "$root/tests/scripts/compare_filter_hits.py" "$cli" "$work/rules/junkloupe.cf" \
    "$work/spamassassin.tsv" "$work/junkloupe.tsv"; then
    echo "ok: each rule fires exactly where junkloupe-cli finds its item, or the difference is explained"
else
    fail "rules and junkloupe-cli disagree (see above)"
fi

# --- Postfix: each item's own line gets the action, a changed one does not --
mkdir "$work/postfix"
: >"$work/postfix/main.cf" # postmap reads its configuration folder
lookup() { postmap -c "$work/postfix" -q "$1" "regexp:$2" 2>&1; }
"$cli" export --format postfix -i "$work/hostile.txt" -o "$work/all.regexp"
checked=0
while IFS= read -r -d $'\n' line; do
    item=${line%$'\r'}
    # The middle character changed to one that differs whatever the case.
    middle=$((${#item} / 2))
    other=q
    [[ ${item:middle:1} == [qQ] ]] && other=z
    changed=${item:0:middle}$other${item:middle+1}
    printf '%s\r\n' "$item" >"$work/one.txt"
    "$cli" export --format postfix --action "HOLD" -i "$work/one.txt" -o "$work/one.regexp"
    own="Subject $item here"
    result=$(lookup "$own" "$work/one.regexp") || true
    [[ $result == "HOLD Junkloupe item 1 "* ]] || fail "postfix: [$item] not found in its own line ($result)"
    result=$(lookup "Subject $changed here" "$work/one.regexp") && fail "postfix: [$changed] matched [$item]"
    lookup "$own" "$work/all.regexp" | grep -q '^WARN Junkloupe item' ||
        fail "postfix: the whole table misses [$item]"
    checked=$((checked + 1))
done <"$work/hostile.txt"
echo "ok: postmap over $checked hostile items"

[[ $failures -eq 0 ]] || { echo "$failures failed"; exit 1; }
echo "all passed"
