"""Builds one of the native checks that CMakeLists.txt defines outside the default build
(vector_math_check, is_prime_differential, pool_test, caches_test) and returns its path. The suite and
the make targets build them through here, in build/checks-*, with the module's flags.

The compiler is the one the module is built with: the system's, or the release
toolchain when CMAKE_TOOLCHAIN_FILE names it (as `make wheel-test` does).
ThreadSanitizer builds always use the system compiler, which has its runtime."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import sysconfig

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Unavailable(RuntimeError):
    """No CMake or compiler to build the checks with here."""


def build(target: str, sanitize: str = "") -> str:
    env = dict(os.environ)
    if sanitize == "thread":
        env.pop("CMAKE_TOOLCHAIN_FILE", None)
    toolchain = env.get("MOSSWICK_ZIG_TARGET", "host") if env.get("CMAKE_TOOLCHAIN_FILE") else "host"
    directory = os.path.join(ROOT, "build", "-".join(filter(None, ["checks", toolchain, sanitize])))
    search = os.pathsep.join([os.path.dirname(sys.executable), env.get("PATH", "")])
    cmake = shutil.which("cmake", path=search)
    if cmake is None:
        raise Unavailable("needs CMake")
    if not os.path.exists(os.path.join(directory, "CMakeCache.txt")):
        generator = ["-G", "Ninja"] if shutil.which("ninja", path=search) else []
        configure = [cmake, "-S", ROOT, "-B", directory, *generator, f"-DPython_EXECUTABLE={sys.executable}",
                     f"-DPython_INCLUDE_DIR={sysconfig.get_paths()['include']}", f"-DMOSSWICK_SANITIZE={sanitize}"]
        configured = subprocess.run(configure, env={**env, "PATH": search}, capture_output=True, text=True)
        if configured.returncode != 0:
            shutil.rmtree(directory, ignore_errors=True)
            raise Unavailable("the native checks cannot be configured here:\n" + configured.stderr[-2000:])
    subprocess.run([cmake, "--build", directory, "--target", target], env={**env, "PATH": search}, check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(directory, target)


if __name__ == "__main__":
    print(build(*sys.argv[1:]))
