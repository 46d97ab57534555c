#!/usr/bin/env bash
# Builds the client and starts it in its program directory (build/). A sample Set.ini is
# written there when there is none; the program itself never writes one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ ! -f build/Set.ini ]; then
  printf '%s\r\n' \
    '[系统配置]' \
    'Y6登陆页面地址=http://127.0.0.1:8080/y6/Login.aspx?db=demo&x=1' \
    '数据同步间隔分=20' \
    '脱机工作=否' \
    '桌面端名称=桌面客户端' \
    '默认客户=-1' \
    '默认登陆用户名=admin' | iconv -f UTF-8 -t GBK > build/Set.ini
  echo "Wrote a sample build/Set.ini"
fi
cd build
./y6desk && status=0 || status=$?
echo "y6desk ended (exit code $status)"
exit "$status"
