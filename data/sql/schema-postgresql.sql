-- The budget database on PostgreSQL.
-- Unquoted names fold to lower case (btype, budgmoney); queries may write them in any case.
-- The varchar_pattern_ops indexes serve "eid like 'P%'" in every collation.
drop view if exists vwbudget;
drop table if exists busibudget;
drop table if exists pubmoneykind;
drop table if exists pubdept;

create table pubdept (
    eid            varchar(30)  not null primary key,
    peid           varchar(30)  not null default '',
    ename          varchar(100) not null,
    leafflag       varchar(1)   not null default '0',
    replaceflag    varchar(1)   not null default '0',
    useflag        varchar(1)   not null default '0',
    class          integer      not null,
    specialaccount varchar(2)   not null default '否'
);
create index ix_pubdept_eid_prefix on pubdept (eid varchar_pattern_ops);
create index ix_pubdept_peid on pubdept (peid);

create table pubmoneykind (
    mid      varchar(10) not null primary key,
    mname    varchar(60) not null,
    leafflag varchar(1)  not null default '0'
);

create table busibudget (
    id        bigint        not null primary key,
    datayear  integer       not null,
    eid       varchar(30)   not null,
    status    varchar(1)    not null,
    BType     varchar(1)    not null,
    mid       varchar(10)   not null,
    bid       varchar(7)    not null,
    bname     varchar(100)  not null,
    iid       varchar(20)   not null,
    iname     varchar(100)  not null,
    issecret  varchar(1)    not null,
    bkid      varchar(4)    not null,
    ipid      varchar(4)    not null,
    BudgMoney numeric(18,2) not null
);
-- The fund list and the report filter on year, type and status, then a code prefix.
create index ix_busibudget_select on busibudget (datayear, BType, status, eid varchar_pattern_ops, mid);

create view vwbudget as
select b.datayear, b.eid, d.ename, b.status, b.BType, b.mid, b.bid, b.bname,
       b.iid, b.iname, b.issecret, b.bkid, b.ipid, b.BudgMoney
  from busibudget b
  join pubdept d on d.eid = b.eid;
