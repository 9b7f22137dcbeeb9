#!/usr/bin/env python3
"""Installs the HTML help beside the program.

    make_help.py SOURCE.html OUT_DIR

Copies the help page to OUT_DIR/skeindle.html and writes, for every place
in it that help opens at (an id "contents", "index" or "topic-N"), a small
page OUT_DIR/<id>.html that sends the browser on to skeindle.html#<id>.
The program opens these by file name alone, which every browser and
launcher passes on intact, where a "#place" ending may be dropped.
"""
import os
import re
import shutil
import sys

PLACE = re.compile(r'\bid="(contents|index|topic-\d+)"')

FORWARD = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Skeindle Help</title>
<meta http-equiv="refresh" content="0; url=skeindle.html#{place}">
</head>
<body>
<p><a href="skeindle.html#{place}">Skeindle Help</a></p>
</body>
</html>
"""


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    source, out = argv[1], argv[2]
    text = open(source, encoding='utf-8').read()
    places = PLACE.findall(text)
    if len(set(places)) != len(places):
        sys.exit('%s: a place is named twice' % source)
    os.makedirs(out, exist_ok=True)
    for place in places:
        with open(os.path.join(out, place + '.html'), 'w', encoding='utf-8') as f:
            f.write(FORWARD.format(place=place))
    shutil.copyfile(source, os.path.join(out, 'skeindle.html'))


if __name__ == '__main__':
    main(sys.argv)
