#!/usr/bin/env python3
"""The installation and the Debian package, checked from outside.

Usage: install_test.py BUILD_DIR ICON_SIZES PROGRAM_VERSION
(ICON_SIZES separated by commas.)

The build is installed into a scratch root (DESTDIR, prefix /usr) and every
file is checked in place; the desktop entry passes desktop-file-validate; a C
program builds and runs against the installed kestrel.h and libkestrel through
the pkg-config file; the manual pages are the programs' help; the installed
program, started offscreen from an empty directory, seeds the user's data
folder with the demo table, says where, and opens it. The package built by
CPack declares its dependencies and unpacks (dpkg -x) to the same files.
"""
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = ICON_SIZES = VERSION = None
START_TIMEOUT = 60
SETTLE_SECONDS = 3


def expected_files():
    files = [
        "bin/vendrik", "bin/kestrel",
        "lib/libkestrel.so", "lib/libkestrel.so.8",
        "include/kestrel/kestrel.h", "lib/pkgconfig/kestrel.pc", "lib/python3/dist-packages/kestrel/__init__.py",
        "share/applications/vendrik.desktop",
        "share/man/man1/vendrik.1.gz", "share/man/man1/kestrel.1.gz",
        "share/vendrik/Leírás.pdf",
        "share/vendrik/demo/Vnd03.dat", "share/vendrik/demo/Vnd03.mmo",
        "share/vendrik/demo/Vnd03!KOD.ind", "share/vendrik/demo/Vnd03!INDMN.ind",
    ]
    files += [f"share/icons/hicolor/{size}x{size}/apps/vendrik.png" for size in ICON_SIZES]
    return files


def png_size(path):
    with open(path, "rb") as image:
        header = image.read(24)
    assert header[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", header[16:24])


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=120, **options)


def install(root):
    environment = dict(os.environ, DESTDIR=root)
    result = run(["cmake", "--install", BUILD, "--prefix", "/usr"], env=environment)
    assert result.returncode == 0, result.stdout + result.stderr
    return os.path.join(root, "usr")


def offscreen_environment(scratch):
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=os.path.join(scratch, "home"),
                       XDG_DATA_HOME=os.path.join(scratch, "xdg-data"),
                       XDG_RUNTIME_DIR=os.path.join(scratch, "runtime"))
    os.makedirs(environment["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    environment.pop("LD_LIBRARY_PATH", None)
    return environment


class InstalledTreeChecks:
    """Checks shared by the DESTDIR installation and the unpacked package."""

    usr = None

    def check_every_file_in_place(self):
        for relative in expected_files():
            with self.subTest(file=relative):
                path = os.path.join(self.usr, relative)
                self.assertTrue(os.path.isfile(path), path)
                self.assertGreater(os.path.getsize(path), 0)
        for program in ("bin/vendrik", "bin/kestrel"):
            self.assertTrue(os.access(os.path.join(self.usr, program), os.X_OK), program)
        for size in ICON_SIZES:
            with self.subTest(icon=size):
                icon = os.path.join(self.usr, f"share/icons/hicolor/{size}x{size}/apps/vendrik.png")
                self.assertEqual(png_size(icon), (int(size), int(size)))

    def check_programs_run_from_the_tree(self):
        # The programs find the installed library beside them, without help.
        environment = dict(os.environ)
        environment.pop("LD_LIBRARY_PATH", None)
        version = run([os.path.join(self.usr, "bin/vendrik"), "--version"], env=environment)
        self.assertEqual(version.returncode, 0, version.stderr)
        self.assertEqual(version.stdout, f"Vendrik '03 {VERSION}\n")
        demo = os.path.join(self.usr, "share/vendrik/demo/Vnd03")
        check = run([os.path.join(self.usr, "bin/kestrel"), "check", demo], env=environment)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        # The Python package finds the installed library without help.
        environment["PYTHONPATH"] = os.path.join(self.usr, "lib/python3/dist-packages")
        environment.pop("KESTREL_LIBRARY", None)
        count = run([sys.executable, "-c", "import kestrel, sys; "
                     "print(len(kestrel.open(sys.argv[1], read_only=True).table('Vnd03')))",
                     os.path.dirname(demo)], env=environment)
        self.assertEqual((count.returncode, count.stdout), (0, "498\n"), count.stderr)


class InstallTest(unittest.TestCase, InstalledTreeChecks):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="vendrik-install-")
        cls.usr = install(os.path.join(cls.scratch, "root"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def test_every_file_in_place(self):
        self.check_every_file_in_place()

    def test_programs_run_from_the_tree(self):
        self.check_programs_run_from_the_tree()

    def test_desktop_entry(self):
        if shutil.which("desktop-file-validate") is None:
            self.skipTest("desktop-file-utils is not installed")
        entry = os.path.join(self.usr, "share/applications/vendrik.desktop")
        result = run(["desktop-file-validate", entry])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        with open(entry, encoding="utf-8") as text:
            keys = dict(line.strip().split("=", 1) for line in text if "=" in line)
        for key in ("Name", "Name[hu]", "GenericName", "GenericName[hu]", "Comment", "Comment[hu]"):
            self.assertTrue(keys.get(key), key)
        self.assertEqual(keys["Exec"], "vendrik")
        self.assertEqual(keys["Icon"], "vendrik")

    def test_library_through_pkg_config(self):
        if shutil.which("pkg-config") is None or shutil.which("cc") is None:
            self.skipTest("pkg-config or a C compiler is missing")
        environment = dict(os.environ, PKG_CONFIG_PATH=os.path.join(self.usr, "lib/pkgconfig"))
        flags = run(["pkg-config", "--cflags", "--libs", "kestrel"], env=environment)
        self.assertEqual(flags.returncode, 0, flags.stderr)
        libdir = run(["pkg-config", "--variable=libdir", "kestrel"], env=environment).stdout.strip()
        self.assertEqual(os.path.realpath(libdir), os.path.realpath(os.path.join(self.usr, "lib")))
        source = os.path.join(self.scratch, "uses_kestrel.c")
        with open(source, "w") as program:
            program.write('#include <kestrel.h>\n'
                          'int main(void) {\n'
                          '  TdbChar text[200];\n'
                          '  return TdbGetErrorMsg(-101, text, 199) >= 0 && text[0] != 0 ? 0 : 1;\n'
                          '}\n')
        binary = os.path.join(self.scratch, "uses_kestrel")
        built = run(["cc", "-std=c11", source, "-o", binary, f"-Wl,-rpath,{libdir}"] + flags.stdout.split())
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertEqual(run([binary]).returncode, 0)

    def test_manual_pages_are_the_help(self):
        for name, expected in (("vendrik", ["\\-\\-help", "\\-\\-version", "Vendrik"]),
                               ("kestrel", ["kestrel info", "kestrel demo"])):
            with self.subTest(page=name):
                with gzip.open(os.path.join(self.usr, f"share/man/man1/{name}.1.gz"), "rt",
                               encoding="utf-8") as page:
                    text = page.read()
                self.assertTrue(text.startswith(f".TH {name.upper()} 1"), text[:80])
                self.assertIn(".SH NAME", text)
                self.assertIn(".SH SYNOPSIS", text)
                for word in expected:
                    self.assertIn(word, text)

    def start_offscreen(self, working, name):
        """Starts the installed program in `working`; returns it with its error log."""
        log = open(os.path.join(self.scratch, name + ".log"), "w+", encoding="utf-8")
        program = subprocess.Popen([os.path.join(self.usr, "bin/vendrik")], cwd=working,
                                   env=offscreen_environment(self.scratch), stdout=subprocess.DEVNULL,
                                   stderr=log)
        self.addCleanup(log.close)
        self.addCleanup(self.stop, program)
        return program, log

    @staticmethod
    def stop(program):
        if program.poll() is None:
            program.terminate()
            try:
                program.wait(10)
            except subprocess.TimeoutExpired:
                program.kill()
                program.wait()

    def wait_for(self, program, log, text):
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            log.seek(0)
            output = log.read()
            if text in output:
                time.sleep(SETTLE_SECONDS)
                log.seek(0)
                return log.read()
            self.assertIsNone(program.poll(), "the program ended: " + output)
            time.sleep(0.2)
        log.seek(0)
        self.fail(f"no {text!r} within {START_TIMEOUT} s: {log.read()}")

    def test_program_started_from_an_empty_directory_seeds_its_data_folder(self):
        folder = os.path.join(self.scratch, "xdg-data", "vendrik")
        first = os.path.join(self.scratch, "empty-1")
        os.makedirs(first)
        program, log = self.start_offscreen(first, "first")
        output = self.wait_for(program, log, folder)
        self.assertIn("bemutató adatokkal töltött fel", output)
        self.assertNotIn("Opening", output)
        self.assertIsNone(program.poll(), "the program ended: " + output)
        self.stop(program)

        self.assertEqual(os.listdir(first), [], "nothing is written into the working directory")
        demo = os.path.join(self.usr, "share/vendrik/demo")
        for name in os.listdir(demo):
            with open(os.path.join(demo, name), "rb") as original, \
                    open(os.path.join(folder, name), "rb") as copy:
                self.assertEqual(copy.read(), original.read(), name)
        self.assertTrue(os.path.isfile(os.path.join(folder, "Leírás.pdf")))
        kestrel = os.path.join(self.usr, "bin/kestrel")
        seeded = run([kestrel, "count", os.path.join(folder, "Vnd03")])
        shipped = run([kestrel, "count", os.path.join(demo, "Vnd03")])
        self.assertEqual(seeded.returncode, 0, seeded.stderr)
        self.assertEqual(seeded.stdout, shipped.stdout)

        # A later start from another empty directory uses the folder as it is.
        second = os.path.join(self.scratch, "empty-2")
        os.makedirs(second)
        program, log = self.start_offscreen(second, "second")
        output = self.wait_for(program, log, folder)
        self.assertNotIn("bemutató", output)
        self.assertNotIn("Opening", output)
        self.assertIsNone(program.poll(), "the program ended: " + output)


class PackageTest(unittest.TestCase, InstalledTreeChecks):
    @classmethod
    def setUpClass(cls):
        if shutil.which("dpkg-deb") is None or shutil.which("cpack") is None:
            raise unittest.SkipTest("dpkg-deb or cpack is missing")
        cls.scratch = tempfile.mkdtemp(prefix="vendrik-package-")
        made = run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                    "-B", cls.scratch])
        assert made.returncode == 0, made.stdout + made.stderr
        packages = [name for name in os.listdir(cls.scratch) if name.endswith(".deb")]
        assert len(packages) == 1, packages
        cls.package = os.path.join(cls.scratch, packages[0])
        root = os.path.join(cls.scratch, "root")
        unpacked = run(["dpkg-deb", "-x", cls.package, root])
        assert unpacked.returncode == 0, unpacked.stderr
        cls.usr = os.path.join(root, "usr")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def field(self, name):
        return run(["dpkg-deb", "-f", self.package, name]).stdout.strip()

    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "vendrik")
        self.assertEqual(self.field("Version"), VERSION)
        depends = self.field("Depends")
        for dependency in ("qt6-qpa-plugins", "fonts-liberation2", "libqt6widgets6", "libicu72", "libc6"):
            self.assertIn(dependency, depends)

    def test_every_file_in_place(self):
        self.check_every_file_in_place()

    def test_programs_run_from_the_tree(self):
        self.check_programs_run_from_the_tree()


if __name__ == "__main__":
    BUILD, sizes, VERSION = sys.argv[1], sys.argv[2], sys.argv[3]
    ICON_SIZES = sizes.split(",")
    unittest.main(argv=sys.argv[:1], verbosity=2)
