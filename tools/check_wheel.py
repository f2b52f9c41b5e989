"""Refuses a release wheel whose library could fail to load where its tag says it loads:
an ELF machine other than the tag's, an exported symbol other than the module's
initialisation function, a glibc symbol version newer than 2.28, or a library needed
beyond glibc's own (libc, libm, libpthread, libdl and the dynamic loader); and one whose
exp, log or tanh is not the C library's (a toolchain runtime linked in may carry its
own). Prints what it found for each wheel.

    python tools/check_wheel.py dist/mosswick-*.whl"""

from __future__ import annotations

import io
import os
import sys
import zipfile

from elftools.elf.dynamic import DynamicSection
from elftools.elf.elffile import ELFFile
from elftools.elf.gnuversions import GNUVerNeedSection

NEWEST_GLIBC = (2, 28)
GLIBC_LIBRARIES = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2"}
LOADERS = {"x86_64": "ld-linux-x86-64.so.2", "aarch64": "ld-linux-aarch64.so.1"}
MACHINES = {"x86_64": "EM_X86_64", "aarch64": "EM_AARCH64"}
C_LIBRARY_MATH = {"exp", "log", "tanh"}


def check_library(elf: ELFFile, arch: str, init: str) -> tuple[list[str], str]:
    """The faults found in one library, and its newest glibc version."""
    faults = []
    if elf["e_machine"] != MACHINES[arch]:
        faults.append(f"machine {elf['e_machine']}, not {MACHINES[arch]}")
    dynamic = next(s for s in elf.iter_sections() if isinstance(s, DynamicSection))
    needed = {tag.needed for tag in dynamic.iter_tags() if tag.entry.d_tag == "DT_NEEDED"}
    if needed - GLIBC_LIBRARIES - {LOADERS[arch]}:
        faults.append(f"needs {sorted(needed - GLIBC_LIBRARIES - {LOADERS[arch]})}")
    symbols = list(elf.get_section_by_name(".dynsym").iter_symbols())
    exported = {s.name for s in symbols
                if s["st_shndx"] != "SHN_UNDEF" and s["st_info"]["bind"] in ("STB_GLOBAL", "STB_WEAK")}
    imported = {s.name for s in symbols if s["st_shndx"] == "SHN_UNDEF"}
    if C_LIBRARY_MATH - imported:
        faults.append(f"has its own {sorted(C_LIBRARY_MATH - imported)}, not the C library's")
    if exported != {init}:
        faults.append(f"exports {sorted(exported - {init})[:10]} besides {init}" if init in exported
                      else f"does not export {init}")
    versions = [(2, 0)]
    for section in elf.iter_sections():
        if isinstance(section, GNUVerNeedSection):
            for _, auxiliaries in section.iter_versions():
                for aux in auxiliaries:
                    if aux.name.startswith("GLIBC_") and aux.name[6:].replace(".", "").isdigit():
                        versions.append(tuple(int(p) for p in aux.name[6:].split(".")))
    newest = max(versions)
    if newest > NEWEST_GLIBC:
        faults.append(f"needs GLIBC_{'.'.join(map(str, newest))}")
    return faults, "GLIBC_" + ".".join(map(str, newest))


def check_wheel(path: str) -> list[str]:
    name = os.path.basename(path)
    platform = name[:-len(".whl")].split("-")[-1]
    arch = next((a for a in MACHINES if platform.endswith(a)), None)
    if arch is None or "manylinux" not in platform:
        return [f"{name}: not a manylinux wheel for {' or '.join(MACHINES)}"]
    faults = []
    with zipfile.ZipFile(path) as wheel:
        libraries = [n for n in wheel.namelist() if n.endswith(".so")]
        if not libraries:
            return [f"{name}: holds no library"]
        for library in libraries:
            module = os.path.basename(library).split(".")[0]
            found, newest = check_library(ELFFile(io.BytesIO(wheel.read(library))), arch, f"PyInit_{module}")
            faults += [f"{name}: {library} {fault}" for fault in found]
            print(f"{name}: {os.path.getsize(path) / 2**20:.2f} MiB; {library} needs at most {newest}")
    return faults


def main() -> int:
    faults = [fault for path in sys.argv[1:] for fault in check_wheel(path)]
    for fault in faults:
        print("refused:", fault, file=sys.stderr)
    return 1 if faults or len(sys.argv) < 2 else 0


if __name__ == "__main__":
    sys.exit(main())
