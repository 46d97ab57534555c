// The demo shop of the database "demo": the same rows every time it is made (from a fixed
// random sequence), except that bill dates count back from the day it is made, so that the
// client's window of recent bills (the last 31 days) always holds bills.
//
//   stores      1 总店 (head office), 2 城东分店
//   warehouses  1 总店仓库, 2 总店门市 (store 1), 3 分店仓库 (store 2)
//   switches    店间业务互查 no, 店间库存互查 yes, 供应商店间共享 no (the branch gets store filters)
//   roles       1 经理 (every right), 2 收银员 (all but 查看成本 and 供应商), 3 营业员; 职员信息.角色
//               holds the role IDs as |1| (the form the client's rights query matches), and 权限
//               has a row per role and right with 打开 and 显示 yes where the right is granted
//   staff       login name, staff number, name, store, role; the password of all is 123456
//               zhang 001 张经理 总店 经理        li   002 李收银 总店 收银员
//               wang  003 王停用 (disabled)        zhao 004 赵分店 城东分店 营业员
//               sun   005 孙库管 总店 营业员      zhou 006 周业务 城东分店 营业员
//   customers   散客 (ID 1) and members, wholesale customers (price scheme 批发价), suppliers
//               (类别 供应商) of both stores, two disabled customers
//   goods       as many as told (300 unless told), serial-managed computers, phones and monitors,
//               every goods in stock in every warehouse (some rows at 0), serial numbers of the
//               pieces in stock, price scheme prices, some stock locks
//   bills       purchases, sales and returns, receipts and payments over the last 40 days
#pragma once

struct sqlite3;

struct TSeedOptions {
  int Goods = 300;
};

// Writes the demo shop into an empty database with the server's tables (inside the caller's
// transaction).
void SeedDemoShop(sqlite3* db, const TSeedOptions& options);
