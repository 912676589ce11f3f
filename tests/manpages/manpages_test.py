#!/usr/bin/env python3
# Each manual page names exactly the commands and options of its program's --help. The programs run
# with no display to be had: the window must answer --help and --version before it needs one.
# Usage: manpages_test.py <docs/man folder> <version> <lumivex-updater> <lumivex-cli> <lumivex-pack>
import os, re, subprocess, sys

man_dir, version, *programs = sys.argv[1:]
# --long or -x, but not the dash inside a word, a path or a port such as 1-2.4.
OPTION = re.compile(r"(?<![\w/<-])(--[a-z][a-z-]*[a-z]|-[a-z])(?![\w-])")
HELP_COMMAND = re.compile(r"^  ([a-z]+) [\[<-]", re.M)  # "  update [--device …", "  pack <images-folder> …"
PAGE_COMMAND = re.compile(r"^\*([a-z]+)\*", re.M)  # a term of the page's COMMANDS section
failures = []


def run(program, argument):
    result = subprocess.run([program, argument], capture_output=True, text=True, timeout=30,
                            env=dict(os.environ, QT_QPA_PLATFORM="no-such-platform"))
    if result.returncode != 0:
        failures.append(f"{program} {argument} exited {result.returncode}: {result.stderr.strip()}")
    return result.stdout

for program in programs:
    name = os.path.basename(program)
    help_text = run(program, "--help")
    page = open(os.path.join(man_dir, f"{name}.1.scd"), encoding="utf-8").read()
    commands = re.search(r"^# COMMANDS\n(.*?)^# ", page, re.M | re.S)
    for what, in_help, in_page in (
            ("options", set(OPTION.findall(help_text)), set(OPTION.findall(page))),
            ("commands", set(HELP_COMMAND.findall(help_text)), set(PAGE_COMMAND.findall(commands[1] if commands else "")))):
        for missing, where in ((in_help - in_page, "the manual page"), (in_page - in_help, "--help")):
            if missing:
                failures.append(f"{name}: {what} {', '.join(sorted(missing))} missing from {where}")

if (answer := run(programs[0], "--version")) != f"lumivex-updater {version}\n":
    failures.append(f"lumivex-updater --version printed {answer!r}")
print("\n".join(failures) or "every manual page matches its program")
sys.exit(1 if failures else 0)
