#!/bin/sh
# Builds the benchmarks (Release, in build-bench), generates the databases once (small, about
# 1 MiB of talk file; medium, 100 MiB; large, 1 GiB; and one of 200 recordings for pack) into
# a folder outside the repository, runs every figure together with the limit it is held to,
# prints the table and writes it, with the machine it ran on, to bench/RESULTS.md.
#
#   bench/run.sh                 VOXBENCH_BENCH_DATA=folder (default /tmp/voxbench-bench)
#                                VOXBENCH_BENCH_REPS=n repetitions, the best counts (default 3)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-bench"
DATA=${VOXBENCH_BENCH_DATA:-/tmp/voxbench-bench}
REPS=${VOXBENCH_BENCH_REPS:-3}
RESULTS="$DATA/results"
SCRATCH="$DATA/scratch"

case "$DATA" in
    "$ROOT"|"$ROOT"/*) echo "run.sh: the data folder must lie outside the repository" >&2; exit 2 ;;
esac

echo "== building in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOXBENCH_BUILD_BENCH=ON \
      -DVOXBENCH_BUILD_UI=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target voxbench_gendb bench_data bench_import bench_form >/dev/null

mkdir -p "$RESULTS" "$SCRATCH"
for size in small medium large pack; do
    if [ ! -f "$DATA/$size/speech.vox" ]; then
        echo "== generating the $size database"
        "$BUILD/bench/voxbench_gendb" "$size" "$DATA/$size.part"
        rm -rf "$DATA/$size"
        mv "$DATA/$size.part" "$DATA/$size"
    fi
done

# The databases are written to by nothing below; the benchmarks that write use scratch copies.
export VOXBENCH_SCRATCH="$SCRATCH" XDG_CONFIG_HOME="$SCRATCH/config"
run() {  # run NAME PROGRAM [ARGS]: one program, its results as JSON
    name=$1
    shift
    echo "== $name"
    "$@" --benchmark_repetitions="$REPS" --benchmark_out="$RESULTS/$name.json" \
         --benchmark_out_format=json >/dev/null
}

# A whole database's levels only on the small one: the large ones would take minutes a run.
for size in small medium large; do
    skip='BM_Pack|BM_CodeRecordings'
    [ "$size" = small ] || skip="$skip|BM_DatabaseLevels"
    VOXBENCH_DB="$DATA/$size/speech.vox" run "data-$size" "$BUILD/bench/bench_data" \
        --benchmark_filter="-$skip"
done
VOXBENCH_DB="$DATA/pack/speech.vox" run pack "$BUILD/bench/bench_data" \
    --benchmark_filter='BM_Pack|BM_CodeRecordings'
VOXBENCH_DB="$DATA/large/speech.vox" QT_QPA_PLATFORM=offscreen run form "$BUILD/bench/bench_form"
for mib in 1 100 1024; do
    VOXBENCH_BENCH_DIR="$SCRATCH" VOXBENCH_BENCH_MIB=$mib run "import-$mib" "$BUILD/bench/bench_import"
done

python3 - "$RESULTS" "$DATA" "$ROOT/bench/RESULTS.md" <<'PYTHON'
import json, os, platform, subprocess, sys, datetime

results, data, out = sys.argv[1], sys.argv[2], sys.argv[3]

def load(name):
    with open(os.path.join(results, name + ".json")) as f:
        runs = json.load(f)["benchmarks"]
    best = {}
    for r in runs:
        if r.get("run_type") != "iteration" or r.get("error_occurred"):
            continue
        key = r["run_name"].split("/")[0]
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[r["time_unit"]]
        seconds = r["real_time"] * scale
        if key not in best or seconds < best[key]["s"]:
            best[key] = dict(r, s=seconds)
    return best

def size_of(path):
    return os.path.getsize(path)

def fmt_time(s):
    if s is None:
        return "n/a"
    for unit, scale in (("s", 1), ("ms", 1e-3), ("µs", 1e-6)):
        if s >= scale:
            return "%.3g %s" % (s / scale, unit)
    return "%.3g ns" % (s / 1e-9)

def fmt_bytes(b):
    for unit, scale in (("MiB", 1 << 20), ("KiB", 1 << 10)):
        if abs(b) >= scale:
            return "%.3g %s" % (b / scale, unit)
    return "%d B" % b

rows = []
def ratio_row(figure, value, limit, target, show=fmt_time):
    if value is None or limit is None or limit <= 0:
        rows.append((figure, show(value) if value is not None else "n/a",
                     show(limit) if limit else "n/a", "n/a", "≤ %gx" % target, "n/a"))
        return
    r = value / limit
    rows.append((figure, show(value), show(limit), "%.2fx" % r, "≤ %gx" % target,
                 "yes" if r <= target else "no"))

def absolute_row(figure, value, target_s, text):
    met = value is not None and value < target_s
    rows.append((figure, fmt_time(value), "—", "—", text, "yes" if met else "no"))

def t(d, key):
    return d[key]["s"] if key in d else None

sizes = {"small": "1 MiB", "medium": "100 MiB", "large": "1 GiB"}
data_runs = {s: load("data-" + s) for s in sizes}
for s, label in sizes.items():
    d = data_runs[s]
    ratio_row("open, %s" % label, t(d, "BM_Open"), t(d, "BM_CatTables"), 2)
for s, label in sizes.items():
    d = data_runs[s]
    tables = sum(size_of(os.path.join(data, s, n))
                 for n in ("fragFile.bin", "evalFile.bin", "commFile.bin"))
    growth = d["BM_Open"].get("rss_growth") if "BM_Open" in d else None
    ratio_row("open memory, %s (vs table bytes)" % label, growth, tables, 2, fmt_bytes)
ratio_row("open, 1 GiB vs 100 MiB (talk size must not show)",
          t(data_runs["large"], "BM_Open"), t(data_runs["medium"], "BM_Open"), 1.5)
for s, label in sizes.items():
    d = data_runs[s]
    ratio_row("lookup ×10000, %s" % label, t(d, "BM_Lookup"), t(d, "BM_RawLookup"), 2)
for s, label in sizes.items():
    d = data_runs[s]
    ratio_row("decode, %s" % label, t(d, "BM_DecodeSound"), t(d, "BM_OpusDecode"), 1.1)
    if "BM_DecodeSound" in d:
        rows[-1] = (rows[-1][0] + " (%.0fx real time, %d entries)" % (
            d["BM_DecodeSound"]["audio_s"] / d["BM_DecodeSound"]["s"],
            d["BM_DecodeSound"]["entries"]),) + rows[-1][1:]
for s, label in sizes.items():
    d = data_runs[s]
    ratio_row("levels, %s" % label, t(d, "BM_EntryLevels"), t(d, "BM_DecodeSound"), 1.5)
small = data_runs["small"]
n = int(small["BM_DatabaseLevels"]["entries"]) if "BM_DatabaseLevels" in small else 0
absolute_row("levels of a whole database, 1 MiB (%d entries)" % n,
             t(small, "BM_DatabaseLevels"), 2.0, "< 2 s")
for s, label in sizes.items():
    d = data_runs[s]
    files = int(d["BM_ExportFragmentRange"]["files"]) if "BM_ExportFragmentRange" in d else 0
    ratio_row("export, %s (%d files)" % (label, files), t(d, "BM_ExportFragmentRange"),
              t(d, "BM_DecodeAndWrite"), 1.3)
for mib, label in ((1, "1 MiB"), (100, "100 MiB"), (1024, "1 GiB")):
    d = load("import-%d" % mib)
    ratio_row("add, %s" % label, t(d, "BM_AddFragmentRewrite"), t(d, "BM_SafeCopy"), 1.5)
    ratio_row("replace, %s" % label, t(d, "BM_ReplaceFragmentAppend"), t(d, "BM_OneWrite"), 1.5)
p = load("pack")
n = int(p["BM_Pack"]["recordings"]) if "BM_Pack" in p else 0
ratio_row("pack, %d recordings" % n, t(p, "BM_Pack"), t(p, "BM_CodeRecordings"), 1.2)
large = data_runs["large"]
for scan in ("FragInEval", "EvalInComm", "FragInComm"):
    ratio_row("search %s ×64, largest tables" % scan, t(large, "BM_Find" + scan),
              t(large, "BM_Raw" + scan), 2)
form = load("form")
absolute_row("RefreshComm, 15-slot comm", t(form, "BM_RefreshComm"), 1e-3, "< 1 ms")
absolute_row("PlaySound returns", t(form, "BM_PlaySoundReturns"), 50e-6, "< 50 µs")

header = ("figure", "measured", "limit (same run)", "ratio", "target", "met?")
widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
def line(r):
    return "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
table = [line(header), "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
table += [line(r) for r in rows]
print("\n".join(table))

def sh(command):
    try:
        return subprocess.run(command, shell=True, capture_output=True, text=True).stdout.strip()
    except OSError:
        return ""
model = sh("lscpu | sed -n 's/^Model name: *//p'")
cores = sh("nproc")
memory = sh("free -h | awk '/^Mem:/ {print $2}'")
disk = sh("df -h '%s' | awk 'NR==2 {print $1\", \"$2\" (\"$4\" free)\"}'" % data)
fs = sh("stat -f -c %%T '%s'" % data)
load_avg = sh("cut -d' ' -f1-3 /proc/loadavg")
# What a person wrote below the table (why a target is missed) survives a new run.
notes_marker = "## Why some targets are not met"
notes = ""
if os.path.exists(out):
    with open(out) as f:
        old = f.read()
    if notes_marker in old:
        notes = old[old.index(notes_marker):]
with open(out, "w") as f:
    f.write("# Benchmark results\n\n")
    f.write("Written by `bench/run.sh` on %s.\n\n" % datetime.date.today().isoformat())
    f.write("- CPU: %s, %s cores\n- Memory: %s\n- Disk: %s, file system %s\n" % (
        model, cores, memory, disk, fs))
    f.write("- Load average when the table was written: %s (other builds ran on the machine; "
            "each figure is the best of the repetitions)\n\n" % load_avg)
    f.write("\n".join(table) + "\n")
    if notes:
        f.write("\n" + notes)
print("\nwritten to", out)
PYTHON
