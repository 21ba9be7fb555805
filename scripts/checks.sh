# Sourced by the test scripts: a named check that counts its passes and
# failures, prints "ok" or "FAIL" with its name, and fails when its command
# does (so that `check ... || show-the-log` works).
passed=0 failed=0
check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok   $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        return 1
    fi
}
