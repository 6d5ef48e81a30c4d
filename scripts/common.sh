# Sourced by the other scripts: where things are and how to get root for apt.
ROOT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PARLIX_HOME="${PARLIX_HOME:-$HOME/Parlix}"
JOBS="$(nproc 2>/dev/null || echo 4)"
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
