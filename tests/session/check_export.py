#!/usr/bin/python3
"""Compares a file tabulon-cli exported with its table as dbfread decodes it.
usage: check_export.py TABLE CODEPAGE FORMAT FILE
FORMAT is csv, json, sqlite, sql (an SQLite script) or xlsx. Prints each
difference; exits non-zero on any."""
import base64
import csv
import datetime
import decimal
import json
import re
import sqlite3
import sys
import xml.etree.ElementTree as ET
import zipfile

import dbfread


def normal(value):
    """dbfread's value in the form every export is compared with."""
    if isinstance(value, datetime.datetime):
        return value.isoformat(sep=' ')
    if isinstance(value, datetime.date):
        return value.isoformat()
    if isinstance(value, (int, float, decimal.Decimal)) and not isinstance(value, bool):
        return float(value)
    if isinstance(value, str) and '\0' in value:
        return value.encode('latin-1', 'replace')
    return value


def same(want, got):
    if want is None or want == '':
        return got in (None, '')
    if isinstance(want, bool):
        return got in (want, int(want), 'T' if want else 'F')
    if isinstance(want, float):
        try:
            return abs(float(got) - want) < 1e-9 * max(1.0, abs(want))
        except (TypeError, ValueError):
            return False
    if isinstance(want, bytes):
        return got == want or (isinstance(got, str) and base64.b64decode(got) == want)
    if isinstance(got, float) and re.match(r'\d{4}-\d\d-\d\d', want):  # an Excel serial day
        day = datetime.datetime(1899, 12, 30) + datetime.timedelta(days=got)
        return day.isoformat(sep=' ').startswith(want) or day.date().isoformat() == want
    return got == want


def from_csv(path, table):
    with open(path, encoding='utf-8-sig', newline='') as f:
        return list(csv.reader(f))


def from_json(path, table):
    with open(path, encoding='utf-8') as f:
        rows = json.load(f)
    return [list(rows[0].keys()) if rows else []] + [list(r.values()) for r in rows]


def from_database(con, table):
    cursor = con.execute('SELECT * FROM "%s"' % table)
    return [[d[0] for d in cursor.description]] + [list(r) for r in cursor]


def from_sqlite(path, table):
    return from_database(sqlite3.connect(path), table)


def from_sql(path, table):
    con = sqlite3.connect(':memory:')
    with open(path, encoding='utf-8', newline='') as f:
        con.executescript(f.read())
    return from_database(con, table)


def from_xlsx(path, table):
    ns = {'x': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'}
    rows = []
    with zipfile.ZipFile(path) as z:
        sheet = ET.fromstring(z.read('xl/worksheets/sheet1.xml'))
    for row in sheet.iter('{%s}row' % ns['x']):
        values = {}
        for c in row.findall('x:c', ns):
            column = ord(re.match('[A-Z]+', c.get('r')).group()[-1]) - ord('A')
            if c.get('t') == 'inlineStr':
                text = ''.join(t.text or '' for t in c.iter('{%s}t' % ns['x']))
                values[column] = re.sub('_x([0-9A-F]{4})_', lambda m: chr(int(m.group(1), 16)), text)
            elif c.get('t') == 'b':
                values[column] = c.find('x:v', ns).text == '1'
            else:
                values[column] = float(c.find('x:v', ns).text)
        rows.append([values.get(i) for i in range(max(values) + 1 if values else 0)])
    return rows


def main():
    table, code_page, form, path = sys.argv[1:5]
    dbf = dbfread.DBF(table, encoding='cp' + code_page, char_decode_errors='strict')
    names = [n for n in dbf.field_names if n != '_NullFlags']
    want = [[normal(record[n]) for n in names] for record in dbf]
    name = re.sub(r'.*/|\.[^.]*$', '', table)
    got = globals()['from_' + form](path, name)
    problems = []
    if got[0] != names:
        problems.append('columns %r, expected %r' % (got[0], names))
    if len(got) - 1 != len(want):
        problems.append('%d records, expected %d' % (len(got) - 1, len(want)))
    for r, (w, g) in enumerate(zip(want, got[1:])):
        g = g + [None] * (len(w) - len(g))
        for n, a, b in zip(names, w, g):
            if not same(a, b):
                problems.append('record %d %s: %r, expected %r' % (r + 1, n, b, a))
    for p in problems[:10]:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
