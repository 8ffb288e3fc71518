# The README's command from a shell in the C.UTF-8 locale, the default of many
# machines: tools/run.sh starts the program in its own locale (zh_CN.UTF-8,
# code page 936) with the installed CJK font drawing the skins' face, so a
# Chinese query finds a Chinese name and Ctrl+C on its row copies the file.
# shellcheck shell=bash

export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset LANGUAGE

log "before tools/run.sh: in C.UTF-8 the skins' face has no Chinese glyphs"
before="$(probe font "微软雅黑" -12 "报告")"
log "  微软雅黑 is drawn with: $before"
[ "${before##*|}" != 0 ] || fail "the prefix already draws 微软雅黑 with Chinese glyphs: '$before'"

log "bash tools/run.sh (this build, drive F:) from C.UTF-8, on this desktop"
(cd "$ROOT" && exec bash tools/run.sh --bin "$E2E_BIN" --drive "F=$E2E_FILES") >>"$E2E_WORK/lumsek.log" 2>&1 &
E2E_LUMSEK_PID=$!
probe wait-shell 90 >/dev/null || fail "no owner window after tools/run.sh"
wait_until 120 test -s "$E2E_PROGRAM/name_F" || fail "drive F: was not scanned"
sleep 3

log "the index holds the Chinese name in code page 936, not as '?'"
gbk_name="$(printf '季度报告.docx' | iconv -f UTF-8 -t GBK)"
grep -qF "$gbk_name" "$E2E_PROGRAM/name_F" || fail "name_F does not hold 季度报告.docx in code page 936"

log "the skins' face is drawn with WenQuanYi Micro Hei, Chinese glyphs included"
after="$(probe font "微软雅黑" -12 "报告")"
log "  微软雅黑 is drawn with: $after"
[ "${after%%|*}" = "WenQuanYi Micro Hei" ] && [ "${after##*|}" = 0 ] ||
  fail "微软雅黑 is drawn with '$after'"

log "a search for 报告, its row selected, Ctrl+C"
copied=""
for _ in $(seq 10); do
  if ! probe windows | grep -q '^Edit|'; then
    xdotool mousemove --sync 640 2 click 1
    sleep 1
  fi
  click_at 640 40
  sleep 0.3
  xdotool key ctrl+a BackSpace
  xdotool type --delay 100 "报告"
  sleep 2
  top="$(window_rect LumsekSearchResult | cut -d' ' -f2)"
  if [ -n "$top" ]; then
    click_at 400 $((top + 25 + 12))
    sleep 0.5
    xdotool key ctrl+c
    sleep 0.5
    copied="$(probe clipboard-files)"
    [ "$copied" = 'F:\项目资料\季度报告.docx' ] && break
  fi
  sleep 2
done
[ "$copied" = 'F:\项目资料\季度报告.docx' ] || fail "Ctrl+C put '$copied' on the clipboard"
[ "$(probe clipboard-effect)" = 1 ] || fail "copy is not drop effect 1"

e2e_stop
