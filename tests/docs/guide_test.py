#!/usr/bin/env python3
"""The built user's guide: a PDF with its title, every chapter of the text
starting on a page of its own and in order, the program's messages in
Hungarian letter for letter, and the pictures of the windows.

Usage: guide_test.py GUIDE.pdf SOURCE.html
"""
import html
import re
import shutil
import subprocess
import sys
import unittest

PDF = SOURCE = None

MESSAGES = [
    "Leírás.pdf állomány nem található vagy nincs telepítve Acrobat olvasó program !!!",
    "Hibás a szűrési feltétel !!!",
    "Biztosan törölhető ?",
    "Biztosan be kívánja fejezni a program használatát ?",
    "Hiba történt !!!",
    "Adatok keresése:",
    "Szűrő beállítása:",
    "Törlés jóváhagyás:",
]


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def page_text(page):
    return run("pdftotext", "-f", str(page), "-l", str(page), "-enc", "UTF-8", PDF, "-")


def flat(text):
    return " ".join(text.split())


@unittest.skipIf(shutil.which("pdftotext") is None, "poppler-utils is not installed")
class GuideTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        info = run("pdfinfo", PDF)
        cls.pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
        cls.title = re.search(r"^Title:\s+(.*)$", info, re.M).group(1).strip()
        cls.texts = [page_text(page) for page in range(1, cls.pages + 1)]
        with open(SOURCE, encoding="utf-8") as source:
            cls.chapters = [flat(html.unescape(re.sub(r"<[^>]+>", "", heading)))
                            for heading in re.findall(r"<h1[^>]*>(.*?)</h1>", source.read(), re.S)]

    def test_title(self):
        self.assertEqual(self.title, "Vendrik '03 – Leírás")
        self.assertIn("Felhasználói leírás", self.texts[0])

    def test_every_chapter_starts_a_page_in_order(self):
        self.assertGreaterEqual(len(self.chapters), 10)
        self.assertGreater(self.pages, len(self.chapters))
        last = 0
        for chapter in self.chapters:
            with self.subTest(chapter=chapter):
                starts = [number for number, text in enumerate(self.texts, 1)
                          if flat(text).startswith(chapter)]
                self.assertEqual(len(starts), 1, f"pages starting with it: {starts}")
                self.assertGreater(starts[0], last)
                last = starts[0]

    def test_messages_in_hungarian_letter_for_letter(self):
        whole = flat(" ".join(self.texts))
        for message in MESSAGES:
            with self.subTest(message=message):
                self.assertIn(message, whole)

    def test_pictures_of_the_windows(self):
        if shutil.which("pdfimages") is None:
            self.skipTest("pdfimages is not installed")
        listing = run("pdfimages", "-list", PDF).splitlines()[2:]
        sizes = {(int(line.split()[3]), int(line.split()[4])) for line in listing if line.split()[2] == "image"}
        # The main window (537 wide), the about window (298 x 429) and the
        # picture window (145 x 153), each at its size or a whole multiple of it.
        def shown(width, height=None):
            return any(w % width == 0 and (height is None or (h % height == 0 and w // width == h // height))
                       for w, h in sizes)
        self.assertTrue(shown(537), sizes)
        self.assertTrue(shown(298, 429), sizes)
        self.assertTrue(shown(145, 153), sizes)


if __name__ == "__main__":
    PDF, SOURCE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
