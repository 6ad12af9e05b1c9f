#!/bin/sh
# Three sites through the Ansible role, all on this machine
# (ansible_connection=local), each with its own simulated rack; the second
# site's readers refuse writes. Its failure must stop the waves: the third
# site is never flashed, the merged report holds the first two sites' readers
# once each, and the playbook fails.
# usage: ansible_rollout.sh SOURCE_DIR CORVANT_FLASH CORVANT_READER_SIM
set -eu
source_dir=$1 flash=$2 sim=$3
work=$(mktemp -d)
pids=""
trap 'code=$?; [ -z "$pids" ] || kill $pids 2>/dev/null; rm -rf "$work"; exit $code' EXIT
export ANSIBLE_LOCAL_TEMP="$work/tmp" ANSIBLE_REMOTE_TEMP="$work/tmp" ANSIBLE_NOCOLOR=1 \
    ANSIBLE_RETRY_FILES_ENABLED=0 LC_ALL=C.UTF-8 XDG_CONFIG_HOME="$work"

mkdir "$work/readers"
start_rack() { # SITE COUNT [FAULTS...]
    site=$1 count=$2
    shift 2
    "$sim" --tcp 0 --count "$count" "$@" >"$work/$site.sim" 2>&1 &
    pids="$pids $!"
    tries=0
    while [ "$(grep -c listening "$work/$site.sim")" -lt "$count" ]; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || { echo "$site: simulator did not start" >&2; exit 1; }
        sleep 0.1
    done
    echo "port,name,site" >"$work/readers/$site.csv"
    sed -n 's/^listening on \(.*\)$/\1/p' "$work/$site.sim" |
        awk -v site="$site" '{ print $0 ",reader " NR "," site }' >>"$work/readers/$site.csv"
}
start_rack site-a 3
start_rack site-b 2 --write-failed 3
start_rack site-c 2

cat >"$work/inventory.ini" <<INVENTORY
[sites]
site-a
site-b
site-c

[sites:vars]
ansible_connection=local
ansible_python_interpreter=/usr/bin/python3
corvant_flash_program=$flash
corvant_flash_firmware=$source_dir/examples/reader_v1.00.hex
corvant_flash_readers=$work/readers/{{ inventory_hostname }}.csv
corvant_flash_workdir=$work/hosts/{{ inventory_hostname }}
corvant_flash_reports=$work/reports
corvant_flash_options=["--retries", "0", "--reply-timeout", "0.5"]
INVENTORY

status=0
ansible-playbook -i "$work/inventory.ini" "$source_dir/contrib/ansible/site.yml" >"$work/ansible.log" 2>&1 ||
    status=$?
[ "$status" -ne 0 ] || { cat "$work/ansible.log"; echo "the playbook did not fail" >&2; exit 1; }
[ ! -e "$work/reports/site-c.json" ] || { echo "site-c was flashed after site-b failed" >&2; exit 1; }
[ -s "$work/rollout.html" ] || { cat "$work/ansible.log"; echo "no page" >&2; exit 1; }

python3 - "$work" <<'CHECK'
import csv, json, sys
work = sys.argv[1]
merged = json.load(open(f"{work}/rollout.json"))
sites = {run["readers"][0]["site"]: run for run in merged["runs"]}
assert sorted(sites) == ["site-a", "site-b"], sorted(sites)
ports = [r["port"] for run in merged["runs"] for r in run["readers"]]
assert len(ports) == len(set(ports)) == 5, ports
for site, expected in (("site-a", {"Completed"}), ("site-b", {"Abandoned"})):
    listed = [row["port"] for row in csv.DictReader(open(f"{work}/readers/{site}.csv"))]
    got = {r["port"]: r["outcome"] for r in sites[site]["readers"]}
    assert sorted(got) == sorted(listed), (site, got, listed)
    assert set(got.values()) == expected, (site, got)
print("rollout: site-a completed, site-b failed, site-c never started")
CHECK
