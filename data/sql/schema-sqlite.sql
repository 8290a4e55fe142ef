-- The budget database on SQLite.
-- Unit codes (eid) compare without case so that "eid like 'P%'" can use the indexes
-- (codes are digits, so nothing else changes).
drop view if exists vwbudget;
drop table if exists busibudget;
drop table if exists pubmoneykind;
drop table if exists pubdept;

create table pubdept (
    eid            varchar(30)  not null collate nocase primary key,
    peid           varchar(30)  not null collate nocase default '',
    ename          varchar(100) not null,
    leafflag       varchar(1)   not null default '0',
    replaceflag    varchar(1)   not null default '0',
    useflag        varchar(1)   not null default '0',
    class          integer      not null,
    specialaccount varchar(2)   not null default '否'
);
create index ix_pubdept_peid on pubdept (peid);

create table pubmoneykind (
    mid      varchar(10) not null primary key,
    mname    varchar(60) not null,
    leafflag varchar(1)  not null default '0'
);

create table busibudget (
    id        integer       not null primary key,
    datayear  integer       not null,
    eid       varchar(30)   not null collate nocase,
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
create index ix_busibudget_select on busibudget (datayear, BType, status, eid, mid);

create view vwbudget as
select b.datayear, b.eid, d.ename, b.status, b.BType, b.mid, b.bid, b.bname,
       b.iid, b.iname, b.issecret, b.bkid, b.ipid, b.BudgMoney
  from busibudget b
  join pubdept d on d.eid = b.eid;
