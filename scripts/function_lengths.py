#!/usr/bin/env python3
"""Lists the functions of the C++ sources that are longer than a limit
(default 100 lines) and exits 1 when there is one.

A brace-matching scan, not a parser: a function is a line that ends a
signature with "{" at the start of a line or after a return type, and runs
to its matching "}". Strings, characters and line comments are skipped."""
import pathlib
import re
import sys

LIMIT = int(sys.argv[1]) if len(sys.argv) > 1 else 100
ROOTS = sys.argv[2:] or ['.']
HEAD = re.compile(r'^[A-Za-z].*\)\s*(const)?\s*(override)?\s*(noexcept)?\s*(->\s*[^{]+)?\{\s*$'
                  r'|^\s*(void|bool|int|float|double|auto|std::\S+|[A-Z]\w*[&*]?)\s+[\w:~]+\(.*\)\s*(const)?\s*\{\s*$')
NOT_A_FUNCTION = ('if', 'for', 'while', 'switch', 'else', '}', 'namespace', 'struct', 'class', 'return')


def code(line):
    line = re.sub(r'"(\\.|[^"\\])*"', '', line)
    line = re.sub(r"'(\\.|[^'\\])'", '', line)
    return line.split('//')[0]


def long_functions(path):
    lines = path.read_text(errors='replace').splitlines()
    for i, line in enumerate(lines):
        if not HEAD.match(line) or line.lstrip().startswith(NOT_A_FUNCTION):
            continue
        depth, j = 0, i
        while j < len(lines):
            text = code(lines[j])
            depth += text.count('{') - text.count('}')
            if depth <= 0 and (j > i or '}' in text):
                break
            j += 1
        if j - i + 1 > LIMIT:
            yield j - i + 1, i + 1, line.strip()[:90]


found = False
for root in ROOTS:
    for path in sorted(pathlib.Path(root).rglob('*')):
        if path.suffix not in ('.cpp', '.h') or any(part.startswith('build') for part in path.parts):
            continue
        for length, first, head in long_functions(path):
            print(f'{path}:{first}: {length} lines: {head}')
            found = True
sys.exit(1 if found else 0)
