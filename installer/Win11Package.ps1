<#
  Windows 11's sparse package, as the installer registers and removes it (Win11Package.nsh).

  -Register -Package FILE -ExternalLocation FOLDER [-AllUsers]
      Stages the package with the install folder as its external location, provisions it for
      every user of the machine (each gets it at their next sign-in) and registers it for the
      user running the installer now. Without -AllUsers (an installation for one user) it is
      added for the current user only, nothing provisioned. The folder's permissions as they
      were before are kept in the product's key (HKLM, or HKCU for one user), for the removal
      to put back.
  -Remove -Family NAME -Handler DLL -ExternalLocation FOLDER [-AllUsers]
      Stops the COM surrogates that hold DLL, removes the package (for every user and from the
      provisioned list with -AllUsers, else the current user's), and puts the folder's
      permissions back.

  Exit code 0 on success; otherwise the reason is written out and the code is 1.
#>
param(
    [switch] $Register,
    [switch] $Remove,
    [switch] $AllUsers,
    [string] $Package,
    [string] $ExternalLocation,
    [string] $Family,
    [string] $Handler,
    [string] $Key
)
$ErrorActionPreference = 'Stop'

Add-Type -AssemblyName System.Runtime.WindowsRuntime
$null = [Windows.Management.Deployment.PackageManager, Windows.Management.Deployment, ContentType = WindowsRuntime]
$asTask = [System.WindowsRuntimeSystemExtensions].GetMethods() | Where-Object {
    $_.Name -eq 'AsTask' -and $_.GetParameters().Count -eq 1 -and
    $_.GetParameters()[0].ParameterType.Name -eq 'IAsyncOperationWithProgress`2'
} | Select-Object -First 1

# Waits for a deployment operation; a failure ends the script with Windows' own words.
function Wait-Deployment($operation, [string] $what) {
    $task = $asTask.MakeGenericMethod([Windows.Management.Deployment.DeploymentResult],
        [Windows.Management.Deployment.DeploymentProgress]).Invoke($null, @($operation))
    $task.Wait()
    $result = $task.Result
    if ($null -ne $result.ExtendedErrorCode -and $result.ExtendedErrorCode.HResult -ne 0) {
        Write-Output ("{0} failed (0x{1:X8}): {2}" -f $what, $result.ExtendedErrorCode.HResult,
            $result.ErrorText)
        exit 1
    }
}

$manager = New-Object Windows.Management.Deployment.PackageManager
$productKey = if ($AllUsers) { "HKLM:\$Key" } else { "HKCU:\$Key" }

try {
    if ($Register) {
        if (-not (Test-Path $productKey)) { $null = New-Item -Path $productKey -Force }
        Set-ItemProperty -Path $productKey -Name 'FolderSecurity' -Value (Get-Acl $ExternalLocation).Sddl
        if (-not $AllUsers) {
            $options = New-Object Windows.Management.Deployment.AddPackageOptions
            $options.ExternalLocationUri = [Uri] $ExternalLocation
            Wait-Deployment $manager.AddPackageByUriAsync([Uri] $Package, $options) 'Adding the package for this user'
            exit 0
        }
        $options = New-Object Windows.Management.Deployment.StagePackageOptions
        $options.ExternalLocationUri = [Uri] $ExternalLocation
        Wait-Deployment $manager.StagePackageByUriAsync([Uri] $Package, $options) 'Staging the package'
        Wait-Deployment $manager.ProvisionPackageForAllUsersAsync($Family) 'Provisioning it for all users'
        Wait-Deployment $manager.RegisterPackageByFamilyNameAsync($Family, $null,
            [Windows.Management.Deployment.DeploymentOptions]::None, $null, $null) 'Registering it'
        exit 0
    }
    if ($Remove) {
        # The surrogate holding our library would keep its files in use.
        Get-Process -Name dllhost -ErrorAction SilentlyContinue | Where-Object {
            $_.Modules | Where-Object { $_.FileName -eq $Handler }
        } | Stop-Process -Force
        if ($AllUsers) {
            foreach ($installed in $manager.FindPackages($Family)) {
                Wait-Deployment $manager.RemovePackageAsync($installed.Id.FullName,
                    [Windows.Management.Deployment.RemovalOptions]::RemoveForAllUsers) 'Removing the package'
            }
            Wait-Deployment $manager.DeprovisionPackageForAllUsersAsync($Family) 'Taking it off the provisioned list'
        } else {
            foreach ($installed in $manager.FindPackagesForUser('', $Family)) {
                Wait-Deployment $manager.RemovePackageAsync($installed.Id.FullName) 'Removing the package'
            }
        }
        $before = (Get-ItemProperty -Path $productKey -Name 'FolderSecurity' -ErrorAction SilentlyContinue).FolderSecurity
        if ($before -and (Test-Path $ExternalLocation)) {
            $acl = Get-Acl $ExternalLocation
            $acl.SetSecurityDescriptorSddlForm($before)
            Set-Acl -Path $ExternalLocation -AclObject $acl
        }
        exit 0
    }
    Write-Output 'Nothing asked: -Register or -Remove.'
    exit 2
} catch {
    Write-Output $_.Exception.Message
    exit 1
}
