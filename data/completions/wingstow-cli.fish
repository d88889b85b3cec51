# fish completion for wingstow-cli
set -l commands unzip install remove list files status sim plan owner verify check
complete -c wingstow-cli -f
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a unzip -d 'unzip archives of the download folder'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a install -d 'install packages or archives'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a remove -d 'remove installed packages'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'installed packages'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a files -d "the paths a package's record lists"
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a status -d 'simulator folders, free space, counts'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a sim -d 'show, select and set the simulators'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a plan -d 'what install would do'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a owner -d 'the packages that own simulator paths'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a verify -d 'missing and changed files'
complete -c wingstow-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'the airplane check'
complete -c wingstow-cli -n "__fish_seen_subcommand_from sim" -a 'fs2002 fs2004'
complete -c wingstow-cli -n "__fish_seen_subcommand_from unzip install plan owner" -F
complete -c wingstow-cli -l sim -x -a 'fs2002 fs2004' -d 'the simulator'
complete -c wingstow-cli -l program-folder -r -F -d 'the folder of planeyard.ini'
complete -c wingstow-cli -s y -l yes -d 'answer Yes to every question'
complete -c wingstow-cli -s n -l no -d 'answer No to every question'
complete -c wingstow-cli -l into -r -F -d 'the airplane a livery goes into'
complete -c wingstow-cli -l found -x -d 'with sim: a simulator found'
complete -c wingstow-cli -l dry-run -d 'with install: the plan only'
complete -c wingstow-cli -l json -d 'one JSON document on standard output'
complete -c wingstow-cli -s q -l quiet -d 'no progress nor per-item lines'
complete -c wingstow-cli -s h -l help -d 'show the help'
complete -c wingstow-cli -s v -l version -d 'show the version'
