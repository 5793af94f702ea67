#!/usr/bin/python3
"""Reads the tables that interop_writer wrote with independent dBase readers
and compares every live record with expected.json. Prints one line per table
and reader, and 'N passed, N failed' last; exits non-zero on any failure."""
import datetime
import decimal
import json
import os
import sys

import dbf
import dbfread


def normal(value):
    """A reader's value as the expectations write it."""
    if isinstance(value, bool) or value is None:
        return value
    if isinstance(value, bytes):
        value = value.decode('latin-1')
    if isinstance(value, str):
        # dBase IV blocks are read up to their stored length, which counts
        # the block header: the padding after the text comes along.
        return value.rstrip(' \x00')
    if isinstance(value, (datetime.date, datetime.datetime)):
        return value.isoformat()[:10]
    if isinstance(value, (int, float, decimal.Decimal)):
        return float(value)
    return value


def same(expected, got):
    if expected == '' and got is None:
        return True
    if isinstance(expected, (int, float)) and not isinstance(expected, bool):
        return isinstance(got, float) and abs(got - expected) < 1e-9
    return expected == got


def with_dbfread(folder, table):
    rows = []
    for record in dbfread.DBF(os.path.join(folder, table['file']), encoding='latin-1',
                              char_decode_errors='strict', raw=False):
        rows.append([normal(record[name]) for name in table['names']])
    return rows


def with_dbf(folder, table):
    rows = []
    t = dbf.Table(os.path.join(folder, table['file']), codepage='cp437')
    t.open(dbf.READ_ONLY)
    try:
        for record in t:
            if dbf.is_deleted(record):
                continue
            row = []
            for name in table['names']:
                value = record[name.lower()]
                if isinstance(value, str):
                    value = value.encode('cp437').decode('latin-1')
                if value is dbf.Unknown or (hasattr(value, '__bool__') and type(value).__name__ in
                                            ('Date', 'DateTime') and not value):
                    value = None
                elif type(value).__name__ == 'Logical':
                    value = None if value is dbf.Unknown else bool(value)
                elif type(value).__name__ == 'Date':
                    value = value._date
                row.append(normal(value))
            rows.append(row)
    finally:
        t.close()
    return rows


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, 'expected.json'), encoding='utf-8') as f:
        tables = json.load(f)
    readers = {'dbfread': with_dbfread, 'dbf': with_dbf}
    passed = failed = 0
    for table in tables:
        for reader in table['readers']:
            try:
                rows = readers[reader](folder, table)
                problems = []
                if len(rows) != len(table['records']):
                    problems.append('%d records, expected %d' % (len(rows), len(table['records'])))
                for r, (want, got) in enumerate(zip(table['records'], rows)):
                    for name, w, g in zip(table['names'], want, got):
                        if not same(w, g):
                            problems.append('record %d %s: %r, expected %r' % (r + 1, name, g, w))
            except Exception as error:  # a reader that cannot read the table at all
                problems = ['cannot read: %r' % error]
            status = 'ok' if not problems else 'FAILED'
            print('%s %s with %s' % (status, table['file'], reader))
            for p in problems[:10]:
                print('   ', p)
            if problems:
                failed += 1
            else:
                passed += 1
    print('%d passed, %d failed' % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
