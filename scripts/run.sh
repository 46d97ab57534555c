#!/usr/bin/env bash
# Builds the client and runs it in its program directory (build/) against the development
# server y6server with its demo shop on a free loopback port. A Set.ini pointing to that
# server is written there when there is none (the program itself never writes one); an
# existing one that points to a local y6server is pointed to this run's port.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target y6desk y6server store

mkdir -p build/devdata
out=$(mktemp)
build/y6server --port 0 --data build/devdata >"$out" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 100); do grep -q '^port ' "$out" && break; sleep 0.1; done
port=$(sed -n 's/^port \([0-9]*\).*/\1/p' "$out" | head -n 1)
[ -n "$port" ] || { cat "$out"; echo "y6server did not start" >&2; exit 1; }
page="http://127.0.0.1:$port/y6/Login.aspx?db=demo&x=1"

if [ ! -f build/Set.ini ]; then
  printf '%s\r\n' \
    '[系统配置]' \
    "Y6登陆页面地址=$page" \
    '数据同步间隔分=20' \
    '脱机工作=否' \
    '桌面端名称=桌面客户端' \
    '默认客户=-1' \
    '默认登陆用户名=zhang' | iconv -f UTF-8 -t GBK > build/Set.ini
  echo "Wrote build/Set.ini"
else
  # The address is ASCII, so the GBK file can be edited as bytes.
  sed -i "s#^\(Y6\xb5\xc7\xc2\xbd\xd2\xb3\xc3\xe6\xb5\xd8\xd6\xb7=\)http://127\.0\.0\.1:[0-9]*/y6/#\1http://127.0.0.1:$port/y6/#" build/Set.ini
fi

cat <<EOT
y6server (demo shop) on 127.0.0.1:$port. Demo users (password 123456 for all):
  zhang  张经理  staff 001  head office, every right
  li     李收银  staff 002  head office, every right but 查看成本 and 供应商
  wang   王停用  staff 003  disabled: cannot log in
  zhao   赵分店  staff 004  the branch store, the rights of a salesperson
The first login fills the local store from the server; later logins also work offline.
EOT
cd build
./y6desk && status=0 || status=$?
echo "y6desk ended (exit code $status)"
exit "$status"
