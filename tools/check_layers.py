#!/usr/bin/env python3
"""The front end's layers, lowest first:

  platform  src/platform/      Xlib, xcb, POSIX, D-Bus; nothing of the program
  ui        src/ui/            Qt helpers every window uses
  core      the rest of src/   formats, compositions, AppState, RunPgp, settings, texts
  commands  src/commands/      one class per user command, against CommandHost
  windows   TForm*, Tfrm*, MainWindow*, DiagWindows*, main.cpp

A file includes only files of its own layer or below, and only platform/
includes the system's own interfaces. Prints every offending include and
exits 1 when there is one.
"""
import os
import re
import sys

LAYERS = ['platform', 'ui', 'core', 'commands', 'windows']
WINDOW_FILE = re.compile(r'^(TForm|Tfrm|MainWindow|DiagWindows)\w*\.(h|cpp)$|^main\.cpp$')
SYSTEM_HEADER = re.compile(r'^(X11/|xcb/|sys/|unistd\.h|fcntl\.h|QtDBus|QDBus)')
INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^>"]+)[>"]', re.M)


def layer(rel):
    top = rel.split('/', 1)[0]
    if top == 'platform':
        return 0
    if top == 'ui':
        return 1
    if WINDOW_FILE.match(os.path.basename(rel)):
        return 4
    if top == 'commands':
        return 3
    return 2


def main(root):
    bad = []
    for d, _, names in os.walk(root):
        for n in sorted(names):
            if not n.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(d, n)
            rel = os.path.relpath(path, root).replace(os.sep, '/')
            text = open(path, encoding='utf-8', errors='replace').read()
            for kind, target in INCLUDE.findall(text):
                if kind == '"':
                    if not os.path.exists(os.path.join(root, target)):
                        continue  # generated (.moc) or beside the file
                    if layer(target) > layer(rel):
                        bad.append(f'{rel} ({LAYERS[layer(rel)]}) includes {target} ({LAYERS[layer(target)]})')
                elif SYSTEM_HEADER.match(target) and layer(rel) != 0:
                    bad.append(f'{rel} ({LAYERS[layer(rel)]}) includes the system interface <{target}>')
    for b in bad:
        print(b)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else 'src'))
