#!/usr/bin/python3
"""Writes the dialog face of the test prefix: a DejaVu Sans face with the Thai
glyphs of a Thai face (Loma) merged in, under a family name of its own.
    dialog_face.py <DejaVu Sans file> <Thai file> <family> <output file>
Wine 8 shapes Thai text with the glyphs of the font it selected only (a linked
face does not help there), so the Thai glyphs must be in that font itself. The
line metrics stay DejaVu's, so every other script is laid out as before."""
import os
import sys

from fontTools import subset
from fontTools.merge import Merger
from fontTools.ttLib import TTFont

base_file, thai_file, family, out = sys.argv[1:5]
work = out + ".parts"
os.makedirs(work, exist_ok=True)

# Only the Thai block, with its substitutions and mark positions. Its hinting
# programs would not survive the merge; the glyphs go unhinted.
options = subset.Options()
options.layout_features = ["*"]
options.hinting = False
thai = TTFont(thai_file)
subsetter = subset.Subsetter(options)
subsetter.populate(unicodes=range(0x0E00, 0x0E80))
subsetter.subset(thai)
thai.save(os.path.join(work, "thai.ttf"))

# The merger knows neither a MATH table nor a required feature; DejaVu's
# required feature becomes an ordinary one of the same language system.
base = TTFont(base_file)
for tag in ("MATH", "FFTM"):
    if tag in base:
        del base[tag]
for tag in ("GSUB", "GPOS"):
    for record in base[tag].table.ScriptList.ScriptRecord:
        for langsys in [record.Script.DefaultLangSys] + [r.LangSys for r in record.Script.LangSysRecord]:
            if langsys and langsys.ReqFeatureIndex != 0xFFFF:
                if langsys.ReqFeatureIndex not in langsys.FeatureIndex:
                    langsys.FeatureIndex.insert(0, langsys.ReqFeatureIndex)
                    langsys.FeatureCount = len(langsys.FeatureIndex)
                langsys.ReqFeatureIndex = 0xFFFF
base.save(os.path.join(work, "base.ttf"))

merged = Merger().merge([os.path.join(work, "base.ttf"), os.path.join(work, "thai.ttf")])
original = TTFont(base_file)
for name in ("usWinAscent", "usWinDescent", "sTypoAscender", "sTypoDescender", "sTypoLineGap"):
    setattr(merged["OS/2"], name, getattr(original["OS/2"], name))
for name in ("ascent", "descent", "lineGap"):
    setattr(merged["hhea"], name, getattr(original["hhea"], name))
merged["OS/2"].ulUnicodeRange1 |= 1 << 24  # Thai
for record in merged["name"].names:
    text = record.toUnicode().replace("DejaVu Sans", family).replace("DejaVuSans", family.replace(" ", ""))
    record.string = text
merged.save(out + ".new")
os.replace(out + ".new", out)
for part in os.listdir(work):
    os.remove(os.path.join(work, part))
os.rmdir(work)
