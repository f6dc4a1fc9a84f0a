#!/usr/bin/env python3
"""Steps of scripts/make-examples.sh that need more than a shell.

  examples-helper.py fix-rtf FILE.rtf
      Prepares an RTF written by LibreOffice for the RTF generator (see fix_rtf).
  examples-helper.py repack FILE.{odt,docx}...
      Rewrites a package with fixed entry dates and without LibreOffice's
      random editing ids, so that regenerating an unchanged source gives the
      same bytes.
  examples-helper.py check SOURCE.fodt TEMPLATE.{odt,docx,rtf}...
      Fails unless every command of the source survives in each template as
      plain text, and no text run of a DOCX or ODT template holds two commands.
  examples-helper.py archive OUTPUT.zip FILE...
      Writes a ZIP archive with fixed dates, so that it only changes when its
      files do.
  examples-helper.py verify PATH/TO/plinthworks-batch
      Runs the batch command on copies of examples/data in every format, with
      and without --rename, and checks the documents through LibreOffice's text
      and PDF export (values and repetitions in order, no command or error
      marker left, removed appendix absent, page and picture counts).
      Needs soffice and poppler-utils (pdfinfo, pdfimages).
"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile
from decimal import ROUND_HALF_EVEN, Decimal

COMMAND = re.compile(r"\[%[^\[\]<>{}\\]*%\]")
PICTURE_COMMAND = re.compile(r"\[%insert_picture%[^\[\]<>{}\\]*%\]")
SECTION_OPTION = "%delete_empty_section%"


def for_rtf(command):
    """A command as the RTF template carries it: RTF removes no sections."""
    return command.replace(SECTION_OPTION, "%")


def fix_rtf(path):
    """RTF templates and documents are Windows-1251 text, and query results go
    into them as such; LibreOffice declares neither that code page nor Cyrillic
    font charsets (it writes its own Cyrillic as \\u escapes), so both are added.

    RTF has no picture command: the generator would insert the picture's file
    name as text, so picture commands are taken out and their place stays empty.
    Nor does it remove sections, so delete_empty_section is taken out of the
    commands (the template check would warn about it).
    """
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    if not text.startswith("{\\rtf1\\ansi"):
        sys.exit(f"{path}: not an RTF file")
    if "\\ansicpg" not in text[:200]:
        text = text.replace("{\\rtf1\\ansi", "{\\rtf1\\ansi\\ansicpg1251", 1)
    font_table_end = text.index("{\\colortbl")
    fonts = re.sub(r"\\fcharset0(?=[ \\])", r"\\fcharset204", text[:font_table_end])
    text = fonts + text[font_table_end:]
    text = PICTURE_COMMAND.sub("", text)
    text = COMMAND.sub(lambda m: for_rtf(m.group(0)), text)
    with open(path, "wb") as f:
        f.write(text.encode("latin-1"))


def repack(path):
    """Same entries in the same order and compression, with fixed dates."""
    with zipfile.ZipFile(path) as package:
        entries = [(info, package.read(info.filename)) for info in package.infolist()]
    with zipfile.ZipFile(path, "w") as package:
        for old, data in entries:
            if old.filename == "settings.xml":
                data = re.sub(rb'(config:name="Rsid(?:Root)?" config:type="int">)\d+', rb"\g<1>1", data)
            info = zipfile.ZipInfo(old.filename, date_time=(2024, 4, 5, 12, 0, 0))
            info.compress_type = old.compress_type
            info.external_attr = old.external_attr
            package.writestr(info, data)


def template_parts(path):
    """The texts of a template in which commands can stand."""
    if path.endswith(".rtf") or path.endswith(".fodt"):
        with open(path, "rb") as f:
            return [f.read().decode("latin-1" if path.endswith(".rtf") else "utf-8")]
    with zipfile.ZipFile(path) as package:
        names = [n for n in package.namelist()
                 if n in ("content.xml", "styles.xml", "word/document.xml")
                 or re.fullmatch(r"word/(header|footer)\d*\.xml", n)]
        return [package.read(n).decode("utf-8") for n in names]


def runs_with_commands(path, part):
    """Texts of the runs (DOCX) or text nodes (ODT) that hold a command."""
    if path.endswith(".docx"):
        runs = re.findall(r"<w:r[ >].*?</w:r>", part, re.S)
        texts = ["".join(re.findall(r"<w:t(?: [^>]*)?>([^<]*)</w:t>", run)) for run in runs]
    else:
        texts = re.findall(r">([^<]*)<", part)
    return [t for t in texts if "[%" in t or "%]" in t]


def check(source, templates):
    expected = set(COMMAND.findall(template_parts(source)[0]))
    failed = False
    for template in templates:
        parts = template_parts(template)
        found = set()
        for part in parts:
            found |= set(COMMAND.findall(part))
        wanted = expected
        if template.endswith(".rtf"):
            wanted = {for_rtf(c) for c in expected if not PICTURE_COMMAND.fullmatch(c)}
        missing = sorted(wanted - found)
        extra = sorted(found - wanted)
        if missing or extra:
            failed = True
            for c in missing:
                print(f"{template}: command lost or split: {c}")
            for c in extra:
                print(f"{template}: unexpected command: {c}")
        if template.endswith((".docx", ".odt")):
            for part in parts:
                for text in runs_with_commands(template, part):
                    if len(COMMAND.findall(text)) != 1 or text.count("[%") != 1:
                        failed = True
                        print(f"{template}: run must hold exactly one whole command: {text!r}")
    if failed:
        sys.exit(1)


def archive(output, files):
    """Flat archive of the files, entries dated like repack's, made on MS-DOS."""
    with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as package:
        for path in files:
            info = zipfile.ZipInfo(path.rsplit("/", 1)[-1], date_time=(2024, 4, 5, 12, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            with open(path, "rb") as f:
                package.writestr(info, f.read())


# --- End-to-end check of the examples --------------------------------------

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
FORMATS = ("docx", "odt", "rtf")
NBSP = "\u00a0"


def money(value):
    kopecks = int((Decimal(value) * 100).quantize(Decimal(1), ROUND_HALF_EVEN))
    rubles = f"{kopecks // 100:,}".replace(",", NBSP)
    return f"{rubles},{kopecks % 100:02d}"


def long_date(iso):
    months = ("января", "февраля", "марта", "апреля", "мая", "июня", "июля",
              "августа", "сентября", "октября", "ноября", "декабря")
    year, month, day = (int(part) for part in iso.split("-"))
    return f"{day} {months[month - 1]} {year} г."


def texts(element, path):
    return [node.text or "" for node in element.findall(path)]


def expectations(xml_path):
    """What the document made from one sample file must show, read from the file
    itself: (template, name without --rename, name with it, texts in document
    order, texts that must be absent per format, pages per format, pictures)."""
    root = ET.parse(xml_path).getroot()
    base = os.path.splitext(os.path.basename(xml_path))[0]
    date = root.get("date")
    short_date = ".".join(reversed(date.split("-")))
    absent = {f: [] for f in FORMATS}
    if root.tag == "invoice":
        items = root.findall("items/item")
        total = sum(Decimal(i.findtext("quantity")) * Decimal(i.findtext("price")) for i in items)
        ordered = [f"Счёт на оплату № {root.get('number')} от {long_date(date)}",
                   root.findtext("buyer/name"),
                   "Основание: " + (root.findtext("basis") or "-")]
        ordered += [i.findtext("name") for i in items]
        ordered += [f"Итого: {money(total)}", root.findtext("totalInWords")]
        ordered += [f"{n}. {note}" for n, note in enumerate(texts(root, "notes/note"), 1)]
        ordered += [root.findtext("supplier/accountant")]
        name = f"{root.findtext('buyer/shortName')} №{root.get('number')} от {short_date}_счёт"
        return ("invoice", base + "_счёт", name, ordered, absent, dict.fromkeys(FORMATS, 1), 0)
    if root.tag == "act":
        works = root.findall("works/work")
        total = sum(Decimal(w.findtext("quantity")) * Decimal(w.findtext("price")) for w in works)
        ordered = [f"АКТ № {root.get('number')}"]
        ordered += texts(root, "contractor/address/line") + texts(root, "customer/address/line")
        for work in works:
            ordered += [work.findtext("name"), work.findtext("note") or "-"]
        ordered += [f"Итого: {money(total)}", root.findtext("totalInWords"), root.findtext("customer/signer")]
        materials = texts(root, "materials/material/name")
        appendix = "Перечень материалов, использованных при выполнении работ"
        pages = dict.fromkeys(FORMATS, 2)
        if materials:
            ordered += [appendix, f"Позиций в перечне: {len(materials)}"] + materials
        else:
            # RTF has no section removal: there the appendix stays, empty.
            for f in ("docx", "odt"):
                absent[f].append(appendix)
                pages[f] = 1
        name = f"{root.findtext('customer/shortName')} №{root.get('number')} от {short_date}_акт"
        pictures = {"docx": 1, "odt": 1, "rtf": 0}
        return ("act", base[len("AKT_"):] + "_акт", name, ordered, absent, pages, pictures)
    if root.tag == "contract":
        stages = root.findall("stages/stage")
        price = sum(Decimal(s.findtext("price")) for s in stages)
        ordered = [f"ДОГОВОР ПОДРЯДА № {root.get('number')}", long_date(date),
                   root.findtext("customer/name"), f"{money(price)} руб."]
        terms = texts(root, "terms/term") or ["Особые условия сторонами не установлены."]
        ordered += [f"4.{n}. {term}" for n, term in enumerate(terms, 1)]
        ordered += texts(root, "customer/address/line")
        for s, stage in enumerate(stages, 1):
            ordered += [f"Этап {s}. {stage.findtext('title')}", f"{money(stage.findtext('price'))} руб."]
            ordered += [f"{s}.{d}. {text}" for d, text in enumerate(texts(stage, "deliverables/deliverable"), 1)]
        for s, stage in enumerate(stages, 1):
            ordered.append(f"Акт сдачи-приёмки этапа {s} «{stage.findtext('title')}»")
        # the body, then a page per stage and a form (its own section) per stage
        pages = dict.fromkeys(FORMATS, 2 + 2 * len(stages))
        name = (f"{root.findtext('customer/shortName')} №{root.get('number').replace('/', '-')}"
                f" от {short_date}_договор")
        return ("contract", base + "_договор", name, ordered, absent, pages, 0)
    return None


def soffice(target, out_dir, files, profile):
    subprocess.run(["soffice", "--headless", f"-env:UserInstallation=file://{profile}",
                    "--convert-to", target, "--outdir", out_dir] + files,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def verify(batch):
    """Runs the batch command on copies of the sample files in every format, with
    and without --rename, and checks LibreOffice's text and PDF of each document."""
    data = os.path.join(EXAMPLES, "data")
    resources = os.path.join(EXAMPLES, "resources")
    sources = sorted(glob.glob(os.path.join(data, "*.xml")))
    with zipfile.ZipFile(os.path.join(data, "archive.zip")) as package:
        archived = sorted(n for n in package.namelist()
                          if n.endswith(".xml") and not re.fullmatch(r"(proto.*|req.*)", n, re.I))
    work = tempfile.mkdtemp(prefix="examples-check-")
    with zipfile.ZipFile(os.path.join(data, "archive.zip")) as package:
        package.extractall(os.path.join(work, "archived"))
    expected = {}
    for path in sources + [os.path.join(work, "archived", n) for n in archived]:
        expected[os.path.basename(path)] = expectations(path)

    failures = []
    documents = os.path.join(work, "documents")
    os.makedirs(documents)
    runs = []
    for fmt in FORMATS:
        for rename in (False, True):
            run_dir = os.path.join(work, fmt + ("-rename" if rename else ""))
            shutil.copytree(data, run_dir)
            args = [batch, "--resources", resources, "--format", fmt] + (["--rename"] if rename else [])
            inputs = sorted(glob.glob(os.path.join(run_dir, "*.xml"))) + [os.path.join(run_dir, "archive.zip")]
            result = subprocess.run(args + inputs, capture_output=True, text=True)
            label = f"{fmt}{' --rename' if rename else ''}"
            if result.returncode != 0:
                failures.append(f"{label}: exit status {result.returncode}: " + " / ".join(result.stderr.strip().splitlines()[-2:]))
            made = sorted(os.path.basename(p) for p in glob.glob(os.path.join(run_dir, "*." + fmt)))
            wanted = sorted((e[2] if rename else e[1]) + "." + fmt for e in expected.values())
            if made != wanted:
                failures.append(f"{label}: documents {made}, expected {wanted}")
            for source, e in expected.items():
                doc = os.path.join(run_dir, (e[2] if rename else e[1]) + "." + fmt)
                if os.path.exists(doc):
                    copy = f"{fmt}{'-rename' if rename else ''}-{os.path.splitext(source)[0]}.{fmt}"
                    shutil.copy(doc, os.path.join(documents, copy))
                    runs.append((copy, fmt, e))
            print(f"{label}: {len(made)} documents")

    files = [os.path.join(documents, r[0]) for r in runs]
    profile = os.path.join(work, "profile")
    soffice("txt:Text", os.path.join(work, "txt"), files, profile)
    soffice("pdf", os.path.join(work, "pdf"), files, profile)
    for copy, fmt, (template, _, _, ordered, absent, pages, pictures) in runs:
        stem = os.path.splitext(copy)[0]
        with open(os.path.join(work, "txt", stem + ".txt"), encoding="utf-8-sig") as f:
            text = f.read()
        for bad in ("[%", "%]", "!!! ОШИБКА !!!"):
            if bad in text:
                failures.append(f"{copy}: text holds {bad!r}")
        position = 0
        for piece in ordered:
            found = text.find(piece, position)
            if found < 0:
                where = "at all" if piece not in text else "in order"
                failures.append(f"{copy}: missing {where}: {piece!r}")
            else:
                position = found + len(piece)
        for piece in absent[fmt]:
            if piece in text:
                failures.append(f"{copy}: should not show {piece!r}")
        pdf = os.path.join(work, "pdf", stem + ".pdf")
        info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
        page_count = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
        if page_count != pages[fmt]:
            failures.append(f"{copy}: {page_count} pages, expected {pages[fmt]}")
        images = subprocess.run(["pdfimages", "-list", pdf], capture_output=True, text=True).stdout
        image_count = len(images.splitlines()[2:])
        want_images = pictures[fmt] if isinstance(pictures, dict) else pictures
        if image_count != want_images:
            failures.append(f"{copy}: {image_count} pictures, expected {want_images}")

    for failure in failures:
        print("FAIL", failure)
    print(f"{len(runs)} documents checked, {len(failures)} failures")
    if failures:
        sys.exit(f"Documents, their text and PDF: {work}")
    shutil.rmtree(work)


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "fix-rtf":
        for path in sys.argv[2:]:
            fix_rtf(path)
    elif len(sys.argv) >= 3 and sys.argv[1] == "repack":
        for path in sys.argv[2:]:
            repack(path)
    elif len(sys.argv) >= 4 and sys.argv[1] == "check":
        check(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) >= 4 and sys.argv[1] == "archive":
        archive(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) == 3 and sys.argv[1] == "verify":
        verify(os.path.abspath(sys.argv[2]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
