# A private CUPS server on loopback with one cups-pdf queue, "Canon_PDF", for
# the printing tests. Sourced by run-tests.sh (SERVICES_PID, ROOT); run alone
# it starts the server and stays until interrupted. Needs root, as the
# cups-pdf backend does; otherwise the printing tests skip.
# The server never browses or probes the network: Browsing No, Listen on
# 127.0.0.1 only, and only the queue added here.
spoolsmith_cups_start() {
  if [ "$(id -u)" != 0 ] || ! command -v cupsd >/dev/null || [ ! -x /usr/lib/cups/backend/cups-pdf ]; then
    echo "service-cups: needs root, cupsd and cups-pdf; printing tests will skip" >&2
    return 0
  fi
  local dir port tag
  dir=$(mktemp -d /tmp/spoolsmith-cups.XXXXXX)
  chmod 755 "$dir"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  tag="spoolsmith-$(basename "$dir" | tr -cd 'A-Za-z0-9')"
  mkdir -p "$dir/etc/ppd" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/out"
  chgrp lp "$dir/spool" "$dir/spool/tmp" "$dir/cache" 2>/dev/null || true
  chmod 1777 "$dir/out" "$dir/spool/tmp"
  chmod 775 "$dir/spool" "$dir/cache"
  cat >"$dir/etc/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
LogLevel warn
WebInterface No
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Location /admin>
  Order allow,deny
  Allow 127.0.0.1
</Location>
CONF
  cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
SystemGroup root lpadmin
CONF
  # cups-pdf reads its settings for the queue's URI from the system folder.
  cat >"/etc/cups/cups-pdf-$tag.conf" <<CONF
Out $dir/out
AnonDirName $dir/out
UserUMask 0000
CONF
  # A keeper runs cupsd and, when told to stop, removes what was made here.
  (
    cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" &
    cpid=$!
    trap 'kill "$cpid" 2>/dev/null; wait "$cpid" 2>/dev/null; rm -rf "$dir" "/etc/cups/cups-pdf-$tag.conf"; exit 0' TERM INT
    wait "$cpid"
    rm -rf "$dir" "/etc/cups/cups-pdf-$tag.conf"
  ) &
  local pid=$!
  # Up and its queue added within a minute (a hang only, as the tests'
  # kHangMs); a busy machine may answer the first requests late.
  local deadline=$((SECONDS + 60))
  until lpstat -h "127.0.0.1:$port" -r >/dev/null 2>&1 || [ $SECONDS -ge $deadline ]; do
    sleep 0.1
  done
  local added=0
  while :; do
    if lpadmin -h "127.0.0.1:$port" -p Canon_PDF -E -v "cups-pdf:/$tag" \
        -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd >/dev/null 2>&1; then
      added=1
      break
    fi
    [ $SECONDS -lt $deadline ] || break
    sleep 0.5
  done
  if [ "$added" != 1 ]; then
    echo "service-cups: the queue could not be added; printing tests will skip" >&2
    kill "$pid" 2>/dev/null || true
    return 0
  fi
  export SPOOLSMITH_CUPS_SERVER="127.0.0.1:$port"
  export SPOOLSMITH_CUPS_OUT="$dir/out"
  SERVICES_PID+=("$pid")
  echo "service-cups: cupsd on 127.0.0.1:$port, queue Canon_PDF -> $dir/out" >&2
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  SERVICES_PID=()
  spoolsmith_cups_start
  trap 'kill "${SERVICES_PID[@]}" 2>/dev/null; wait' EXIT INT TERM
  echo "CUPS_SERVER=$SPOOLSMITH_CUPS_SERVER SPOOLSMITH_CUPS_OUT=$SPOOLSMITH_CUPS_OUT"
  wait
else
  spoolsmith_cups_start
fi
