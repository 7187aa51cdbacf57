# What a screen reader finds: one line "role<TAB>name" for every node under
# the program's windows whose title starts with argv[1] (pyatspi, as Orca
# walks them).
import sys, pyatspi
def walk(node, depth=0):
    if node is None or depth > 40:
        return
    try:
        print(f"{node.getRoleName()}\t{node.name}")
    except Exception:
        return
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1)
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == "Quorbix":
        for i in range(app.childCount):
            frame = app.getChildAtIndex(i)
            if frame is not None and frame.name.startswith(sys.argv[1]):
                walk(frame)
